// The descriptive headers of installed distributions' metadata, which the
// dependency graph never needs: summary, licence, classifiers and URLs. A
// bill of materials lists them; the environment reader parses them from the
// header block it has just read when asked to keep them (see
// InstalledDistributionReader::keep_details), so that no metadata file is
// opened twice and listing or graphing an environment pays nothing for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

struct DistributionDetails {
    std::string name;                               // the Name header, as written
    std::optional<std::string> version;             // Version
    std::optional<std::string> summary;             // Summary
    std::optional<std::string> license;             // License (free text, often long)
    std::optional<std::string> license_expression;  // License-Expression (PEP 639)
    std::vector<std::string> license_classifiers;   // "License :: ..." Classifier values, in order
    std::optional<std::string> home_page;           // Home-page
    std::vector<std::string> project_urls;          // Project-URL values ("Label, URL"), in order
};

// The details in a header block of METADATA / PKG-INFO; `name` when the
// block has no Name header. Empty values count as absent.
DistributionDetails parse_distribution_details(std::string_view header_block, std::string name);

}  // namespace quorl
