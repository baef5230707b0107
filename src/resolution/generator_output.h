// GeneratorOutput: what one resolver run produced: the input file it
// resolved, the pinned file it wrote, and the pins read back from that file.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "support/ordered_map.h"

namespace quorl {

// Base package name to pinned version text, in the order of the pinned file.
using VersionsMap = OrderedMap<std::string, std::string>;

struct GeneratorOutput {
    // Field name and documentation text, in declaration order.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> FIELD_DESCRIPTIONS{{
        {"input_path", "Reference to the req.in file"},
        {"txt_path", "Reference to the generated req.txt file"},
        {"reqs_versions_map", "Computed requirements entries"},
    }};

    // All three fields are required; the map is taken as given.
    GeneratorOutput(std::filesystem::path input_path_, std::filesystem::path txt_path_, VersionsMap reqs_versions_map_)
        : input_path(std::move(input_path_)),
          txt_path(std::move(txt_path_)),
          reqs_versions_map(std::move(reqs_versions_map_)) {}

    std::filesystem::path input_path;
    std::filesystem::path txt_path;
    VersionsMap reqs_versions_map;
};

}  // namespace quorl
