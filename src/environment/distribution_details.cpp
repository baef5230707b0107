#include "environment/distribution_details.h"

#include <fcntl.h>
#include <unistd.h>

#include <set>
#include <utility>

#include "environment/metadata.h"
#include "pep/canonical_name.h"
#include "support/text.h"

namespace quorl {
namespace {

void set_once(std::optional<std::string>& field, std::string_view value) {
    if (!field && !value.empty()) field.emplace(value);
}

// The metadata file of an entry: METADATA in a dist-info directory,
// PKG-INFO in an egg-info directory, an egg-info file itself.
std::string metadata_file_of(const std::string& directory, const MetadataEntry& entry) {
    std::string path = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    path += entry.file_name;
    if (entry.kind == MetadataKind::DistInfo) return path + "/METADATA";
    const std::string pkg_info = path + "/PKG-INFO";
    return ::access(pkg_info.c_str(), F_OK) == 0 ? pkg_info : path;
}

}  // namespace

DistributionDetails parse_distribution_details(std::string_view header_block, std::string name) {
    DistributionDetails details;
    std::optional<std::string> written_name;
    constexpr std::string_view LICENSE_CLASSIFIER = "License ::";
    for_each_metadata_header(header_block, [&](std::string_view header, std::string_view value) {
        if (text::equals_ignoring_case(header, "Name")) {
            set_once(written_name, value);
        } else if (text::equals_ignoring_case(header, "Version")) {
            set_once(details.version, value);
        } else if (text::equals_ignoring_case(header, "Summary")) {
            set_once(details.summary, value);
        } else if (text::equals_ignoring_case(header, "License")) {
            set_once(details.license, value);
        } else if (text::equals_ignoring_case(header, "License-Expression")) {
            set_once(details.license_expression, value);
        } else if (text::equals_ignoring_case(header, "Classifier")) {
            if (value.substr(0, LICENSE_CLASSIFIER.size()) == LICENSE_CLASSIFIER) {
                details.license_classifiers.emplace_back(value);
            }
        } else if (text::equals_ignoring_case(header, "Home-page")) {
            set_once(details.home_page, value);
        } else if (text::equals_ignoring_case(header, "Project-URL")) {
            if (!value.empty()) details.project_urls.emplace_back(value);
        }
    });
    details.name = written_name ? std::move(*written_name) : std::move(name);
    return details;
}

DistributionDetailsFinder::DistributionDetailsFinder(const std::vector<std::string>& search_path) {
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const std::string& path : search_path) {
        const MetadataDirectory directory(path);
        dev_t device = 0;
        ino_t inode = 0;
        // A directory named twice is read once; one that cannot be listed
        // was reported when the environment was read.
        if (!directory.identity(device, inode) || !seen.insert({device, inode}).second) continue;
        std::vector<MetadataEntry> entries = directory.listed_entries();
        sort_by_name(entries);
        for (const MetadataEntry& entry : entries) {
            // "Foo_Bar-1.0.dist-info" -> "foo-bar", "foo.egg-info" -> "foo".
            const std::string_view stem = std::string_view(entry.file_name).substr(0, entry.file_name.rfind('.'));
            const std::string_view entry_name = stem.substr(0, stem.find('-'));
            candidates_[canonical_name(entry_name)].push_back(
                Candidate{metadata_file_of(path, entry), std::string(entry_name)});
        }
    }
}

std::optional<DistributionDetails> DistributionDetailsFinder::find(std::string_view name) const {
    const std::string key = canonical_name(name);
    const auto found = candidates_.find(key);
    if (found == candidates_.end()) return std::nullopt;
    for (const Candidate& candidate : found->second) {
        const std::optional<std::string> block =
            read_metadata_headers(AT_FDCWD, candidate.metadata_file.c_str(), candidate.metadata_file);
        if (!block) continue;
        DistributionDetails details = parse_distribution_details(*block, candidate.entry_name);
        if (canonical_name(details.name) == key) return details;
    }
    return std::nullopt;
}

}  // namespace quorl
