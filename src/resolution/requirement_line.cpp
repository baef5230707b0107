#include "resolution/requirement_line.h"

#include <algorithm>
#include <array>

#include "support/errors.h"
#include "support/text.h"

namespace quorl {
namespace {

// The hash algorithms pip accepts in --hash.
constexpr std::array<std::string_view, 3> HASH_ALGORITHMS = {"sha256", "sha384", "sha512"};

// The next word of `rest` (white space separates them), taken off it.
std::string_view next_word(std::string_view& rest) {
    rest = text::lstrip(rest);
    std::size_t end = 0;
    while (end < rest.size() && !text::is_space(rest[end])) ++end;
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

bool is_hex(std::string_view digest) {
    for (const char c : digest) {
        if (!text::is_ascii_digit(c) && !(text::to_lower_ascii(c) >= 'a' && text::to_lower_ascii(c) <= 'f')) {
            return false;
        }
    }
    return !digest.empty();
}

void check_hash_value(std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::string_view algorithm = value.substr(0, colon);
    const bool known = std::find(HASH_ALGORITHMS.begin(), HASH_ALGORITHMS.end(), algorithm) != HASH_ALGORITHMS.end();
    if (colon == std::string_view::npos || !known || !is_hex(value.substr(colon + 1))) {
        throw ValueError("Invalid --hash value '" + std::string(value) +
                         "': expected sha256, sha384 or sha512, a colon and the hex digest");
    }
}

// True when every option of `options` is a --hash, in either form pip takes
// ("--hash=V" or "--hash V"); checks each value.
bool only_hash_options(std::string_view options) {
    constexpr std::string_view HASH = "--hash";
    for (std::string_view word = next_word(options); !word.empty(); word = next_word(options)) {
        if (word == HASH) {
            word = next_word(options);
        } else if (word.starts_with(HASH) && word[HASH.size()] == '=') {
            word.remove_prefix(HASH.size() + 1);
        } else {
            return false;
        }
        check_hash_value(word);
    }
    return true;
}

// True when a word of `line` starts with "-": most lines hold no option,
// and finding that out costs a look at each "-" rather than a walk over
// every word.
bool has_option_word(std::string_view line) {
    for (std::size_t at = line.find('-'); at != std::string_view::npos; at = line.find('-', at + 1)) {
        if (at == 0 || text::is_space(line[at - 1])) return true;
    }
    return false;
}

}  // namespace

std::optional<LogicalLineJoiner::Line> LogicalLineJoiner::take(std::string_view physical) {
    ++number_;
    std::string_view raw = text::strip(physical);
    if (raw.empty() || raw.front() == '#') return std::nullopt;
    raw = text::rstrip(raw.substr(0, raw.find(" #")));
    const bool continues = text::ends_with(raw, "\\");
    // The white space before a "\" stays: it separates the next line's words.
    if (continues) raw.remove_suffix(1);
    if (!continuing_ && !continues) return Line{raw, number_};
    if (!continuing_) {
        continued_.assign(raw);
        continued_from_ = number_;
    } else {
        if (text::is_space(physical.front())) continued_ += ' ';
        continued_ += raw;
    }
    continuing_ = continues;
    if (continuing_) return std::nullopt;
    return Line{text::strip(continued_), continued_from_};
}

std::optional<LogicalLineJoiner::Line> LogicalLineJoiner::finish() const {
    if (!continuing_) return std::nullopt;
    return Line{text::strip(continued_), continued_from_};
}

std::vector<RequirementLine> logical_requirement_lines(std::string_view content) {
    std::vector<RequirementLine> lines;
    for_each_logical_requirement_line(content, [&lines](std::string_view text, std::size_t line_number) {
        lines.push_back({std::string(text), line_number});
    });
    return lines;
}

std::string_view without_hash_options(std::string_view line) {
    if (!has_option_word(line)) return line;
    std::string_view rest = line;
    std::size_t requirement_end = 0;
    for (std::string_view word = next_word(rest); !word.empty(); word = next_word(rest)) {
        if (word.front() == '-') {
            const std::string_view options = line.substr(static_cast<std::size_t>(word.data() - line.data()));
            if (requirement_end == 0 || !only_hash_options(options)) return line;
            return line.substr(0, requirement_end);
        }
        requirement_end = static_cast<std::size_t>(word.data() - line.data()) + word.size();
    }
    return line;
}

std::string normal_form(const Requirement& requirement, bool with_marker) {
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
    if (with_marker && requirement.marker) {
        result += "; ";
        result += requirement.marker->to_string();
    }
    return result;
}

std::string normalise_requirement(std::string_view line) { return normal_form(parse_requirement(text::strip(line))); }

}  // namespace quorl
