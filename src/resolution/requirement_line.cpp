#include "resolution/requirement_line.h"

#include <array>

#include "python/requirement.h"
#include "python/version.h"
#include "support/text.h"

namespace quorl {
namespace {

// The bytes of a plain name: letters and digits may stand anywhere, "-"
// only inside, "." and "_" only inside and make a name that normalising
// changes. One table look-up a byte keeps the scan of a resolved file cheap.
enum NameByte : unsigned char { NOT_NAME = 0, ALNUM = 1, DASH = 2, DOT_OR_UNDERSCORE = 4 };
constexpr std::array<unsigned char, 256> NAME_BYTES = [] {
    std::array<unsigned char, 256> bytes{};
    for (int c = 0; c < 256; ++c) {
        if (text::is_ascii_alnum(static_cast<char>(c))) bytes[c] = ALNUM;
    }
    bytes['-'] = DASH;
    bytes['.'] = bytes['_'] = DOT_OR_UNDERSCORE;
    return bytes;
}();

}  // namespace

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
    // The name runs up to the first byte that cannot be in one, which must
    // start the "==": the name before the line's first "==" is then all name bytes.
    std::size_t end = 0;
    unsigned char seen = 0;
    while (end < line.size() && NAME_BYTES[static_cast<unsigned char>(line[end])] != NOT_NAME) {
        seen |= NAME_BYTES[static_cast<unsigned char>(line[end])];
        ++end;
    }
    if (end == 0 || line.substr(end, 2) != "==") return std::nullopt;
    if (NAME_BYTES[static_cast<unsigned char>(line.front())] != ALNUM ||
        NAME_BYTES[static_cast<unsigned char>(line[end - 1])] != ALNUM) {
        return std::nullopt;
    }
    const PlainPin pin{line.substr(0, end), line.substr(end + 2), (seen & DOT_OR_UNDERSCORE) == 0};
    if (plain_release_numbers(pin.version) == 0) return std::nullopt;
    return pin;
}

}  // namespace quorl
