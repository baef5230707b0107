// The descriptive headers of installed distributions' metadata, which the
// dependency graph never needs: summary, licence, classifiers and URLs.
// Read on their own, for the distributions asked about, so that listing and
// graphing an environment stays as lean as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "environment/metadata_directory.h"

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

// Finds installed distributions by name as the environment reader does (the
// first along the search path whose entry name and Name header are the
// name's canonical form) and reads their details. Each search-path
// directory is listed once, when the finder is made: a bill of materials
// asks for thousands of distributions, and listing the environment for each
// cost a minute at 10,000 distributions.
class DistributionDetailsFinder {
public:
    explicit DistributionDetailsFinder(const std::vector<std::string>& search_path);

    // Nothing when no such distribution is installed. Reads are bounded as
    // every metadata read is; one that fails throws OsError naming the file.
    std::optional<DistributionDetails> find(std::string_view name) const;

private:
    struct Candidate {
        std::string metadata_file;  // the METADATA or PKG-INFO (or egg-info file) path
        std::string entry_name;     // the entry's own name, for a block without Name
    };
    // Canonical name from the entry's file name -> its entries, in reading order.
    std::unordered_map<std::string, std::vector<Candidate>> candidates_;
};

}  // namespace quorl
