#include "resolution/requirement_line.h"

#include "pep/requirement.h"
#include "support/text.h"

namespace quorl {

std::optional<LogicalLineJoiner::Line> LogicalLineJoiner::take(std::string_view physical) {
    ++number_;
    std::string_view raw = text::strip(physical);
    if (raw.empty() || raw.front() == '#') return std::nullopt;
    raw = text::rstrip(raw.substr(0, raw.find(" #")));
    const bool continues = text::ends_with(raw, "\\");
    if (continues) raw = text::rstrip(raw.substr(0, raw.size() - 1));
    if (!continuing_ && !continues) return Line{raw, number_};
    if (!continuing_) {
        continued_.assign(raw);
        continued_from_ = number_;
    } else {
        continued_ += raw;
    }
    continuing_ = continues;
    if (continuing_) return std::nullopt;
    return Line{continued_, continued_from_};
}

std::optional<LogicalLineJoiner::Line> LogicalLineJoiner::finish() const {
    if (!continuing_) return std::nullopt;
    return Line{continued_, continued_from_};
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
    const char* const stop = line.data() + line.size();
    std::optional<PlainPin> pin =
        plain_pin_detail::leading_plain_pin(line.data(), [stop](const char* at) { return at == stop; });
    if (pin && pin->version.data() + pin->version.size() != stop) return std::nullopt;
    return pin;
}

}  // namespace quorl
