#include "resolution/requirement_line.h"

#include "python/requirement.h"
#include "support/text.h"

namespace quorl {

std::vector<RequirementLine> logical_requirement_lines(std::string_view content) {
    std::vector<RequirementLine> lines;
    bool continuing = false;
    std::size_t number = 0;
    for (const std::string& physical : text::split_lines(content)) {
        ++number;
        std::string_view raw = text::strip(physical);
        if (raw.empty() || raw.front() == '#') continue;
        raw = text::rstrip(raw.substr(0, raw.find(" #")));
        const bool continues = text::ends_with(raw, "\\");
        if (continues) raw = text::rstrip(raw.substr(0, raw.size() - 1));
        if (continuing) {
            lines.back().text += raw;
        } else {
            lines.push_back({std::string(raw), number});
        }
        continuing = continues;
    }
    return lines;
}

std::string normalise_requirement(std::string_view line) {
    const Requirement requirement = parse_requirement(text::strip(line));
    std::string result = requirement.name;
    if (!requirement.extras.empty()) {
        result += '[';
        result += text::join(requirement.extras, ",");
        result += ']';
    }
    if (!requirement.url.empty()) {
        result += " @ ";
        result += requirement.url;
    } else {
        result += requirement.specifier;
    }
    if (requirement.marker) {
        result += "; ";
        result += requirement.marker->to_string();
    }
    return result;
}

}  // namespace quorl
