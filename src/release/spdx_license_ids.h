// SPDX licence identifiers for the licence classifiers that name one licence
// unambiguously ("License :: OSI Approved :: MIT License" -> "MIT").
#pragma once

#include <optional>
#include <string_view>

namespace quorl {

// The SPDX identifier of a "License :: ..." classifier, or nothing for one
// that names no single licence ("BSD License" covers several, "Other/
// Proprietary License" none that SPDX lists).
std::optional<std::string_view> spdx_id_of_classifier(std::string_view classifier);

}  // namespace quorl
