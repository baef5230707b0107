#include "resolution/requirement_line.h"

#include "python/requirement.h"
#include "python/version.h"
#include "support/text.h"

namespace quorl {
namespace {

// Whether `name` is a whole PEP 508 name of ASCII letters, digits and inner "._-".
bool is_plain_name(std::string_view name) {
    if (name.empty() || !text::is_ascii_alnum(name.front()) || !text::is_ascii_alnum(name.back())) return false;
    for (const char c : name) {
        if (!text::is_ascii_alnum(c) && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
}

}  // namespace

void for_each_logical_requirement_line(std::string_view content,
                                       const std::function<void(std::string_view, std::size_t)>& visit) {
    std::string continued;  // the text so far of a line ending with "\\"
    std::size_t continued_from = 0;
    bool continuing = false;
    std::size_t number = 0;
    text::for_each_line(content, [&](std::string_view physical) {
        ++number;
        std::string_view raw = text::strip(physical);
        if (raw.empty() || raw.front() == '#') return;
        raw = text::rstrip(raw.substr(0, raw.find(" #")));
        const bool continues = text::ends_with(raw, "\\");
        if (continues) raw = text::rstrip(raw.substr(0, raw.size() - 1));
        if (!continuing && !continues) return visit(raw, number);
        if (!continuing) {
            continued.assign(raw);
            continued_from = number;
        } else {
            continued += raw;
        }
        continuing = continues;
        if (!continuing) visit(continued, continued_from);
    });
    if (continuing) visit(continued, continued_from);
}

std::vector<RequirementLine> logical_requirement_lines(std::string_view content) {
    std::vector<RequirementLine> lines;
    for_each_logical_requirement_line(content, [&lines](std::string_view text, std::size_t line_number) {
        lines.push_back({std::string(text), line_number});
    });
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

std::optional<PlainPin> plain_pin(std::string_view line) {
    const std::size_t equals = line.find("==");
    if (equals == std::string_view::npos) return std::nullopt;
    const PlainPin pin{line.substr(0, equals), line.substr(equals + 2)};
    if (!is_plain_name(pin.name) || plain_release_numbers(pin.version) == 0) return std::nullopt;
    return pin;
}

}  // namespace quorl
