#include "environment/distribution_details.h"

#include <utility>

#include "environment/metadata.h"
#include "support/text.h"

namespace quorl {
namespace {

void set_once(std::optional<std::string>& field, std::string_view value) {
    if (!field && !value.empty()) field.emplace(value);
}

// The field header `header` fills, or none. Most lines of a block are of
// headers the bill does not list: the length of the name tells nearly all of
// them apart before any comparison.
std::optional<std::string>* single_field(DistributionDetails& details, std::optional<std::string>& written_name,
                                         std::string_view header) {
    switch (header.size()) {
        case 4:
            return text::equals_ignoring_case(header, "Name") ? &written_name : nullptr;
        case 7:
            if (text::equals_ignoring_case(header, "Version")) return &details.version;
            if (text::equals_ignoring_case(header, "Summary")) return &details.summary;
            return text::equals_ignoring_case(header, "License") ? &details.license : nullptr;
        case 9:
            return text::equals_ignoring_case(header, "Home-page") ? &details.home_page : nullptr;
        case 18:
            return text::equals_ignoring_case(header, "License-Expression") ? &details.license_expression : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

DistributionDetails parse_distribution_details(std::string_view header_block, std::string name) {
    DistributionDetails details;
    std::optional<std::string> written_name;
    constexpr std::string_view LICENSE_CLASSIFIER = "License ::";
    for_each_metadata_header(header_block, [&](std::string_view header, std::string_view value) {
        if (std::optional<std::string>* field = single_field(details, written_name, header)) {
            set_once(*field, value);
        } else if (text::equals_ignoring_case(header, "Classifier")) {
            if (value.substr(0, LICENSE_CLASSIFIER.size()) == LICENSE_CLASSIFIER) {
                details.license_classifiers.emplace_back(value);
            }
        } else if (text::equals_ignoring_case(header, "Project-URL")) {
            if (!value.empty()) details.project_urls.emplace_back(value);
        }
    });
    details.name = written_name ? std::move(*written_name) : std::move(name);
    return details;
}

}  // namespace quorl
