// Reading requirement specifier lines (PEP 508) as they appear in pinned
// requirements files, in one normal form.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/version.h"
#include "support/text.h"

namespace quorl {

// One logical line of a requirements file and where it starts (1-based).
struct RequirementLine {
    std::string text;
    std::size_t line_number;
};

// Splits file content into logical requirement lines: every line is stripped;
// blank lines and lines starting with "#" are skipped; " #" starts a trailing
// comment; a line ending with "\" is continued by the next kept line. Lines
// end where text::split_lines ends them.
std::vector<RequirementLine> logical_requirement_lines(std::string_view content);

// Joins physical lines into logical requirement lines, one physical line at
// a time (the rules of logical_requirement_lines).
class LogicalLineJoiner {
public:
    struct Line {
        std::string_view text;  // a view into the physical line, or into the joiner when continued
        std::size_t line_number;
    };

    // The logical line that `physical` completes, if any.
    std::optional<Line> take(std::string_view physical);
    // The logical line left open by a final "\", if any.
    std::optional<Line> finish() const;

    // True while a line ending with "\" waits for the next kept line.
    bool continuing() const { return continuing_; }
    // Counts a physical line the caller took as a whole logical line itself
    // (only while not continuing), so the numbers of later lines stay right.
    void count_taken_line() { ++number_; }

private:
    std::string continued_;  // the text so far of a line ending with "\"
    std::size_t continued_from_ = 0;
    std::size_t number_ = 0;
    bool continuing_ = false;
};

// The same lines, handed to `visit(text, line_number)` one by one; `text` is
// valid only during the call (a view into `content` unless it was continued).
// A template: files of many thousand lines would pay a std::function call
// per line.
template <typename Visit>
void for_each_logical_requirement_line(std::string_view content, Visit&& visit) {
    LogicalLineJoiner joiner;
    text::for_each_line(content, [&](std::string_view physical) {
        if (const std::optional<LogicalLineJoiner::Line> line = joiner.take(physical)) {
            visit(line->text, line->line_number);
        }
    });
    if (const std::optional<LogicalLineJoiner::Line> line = joiner.finish()) visit(line->text, line->line_number);
}

// The normal form of one requirement specifier: the name as written, the
// extras as "[a,b]" (none for "[]"), the version clauses without spaces in
// written order ("==1.0", or "<2,>=1"), " @ URL" for a URL requirement, then
// "; " and the marker in its canonical text. Throws ValueError for anything
// that is not a requirement: option lines ("-r x", "--index-url ..."), an
// invalid name, a bad version clause or a bad marker.
std::string normalise_requirement(std::string_view line);

// A line that is plainly "name==version", the shape a resolver writes.
struct PlainPin {
    std::string_view name;
    std::string_view version;
    bool name_without_dot_or_underscore;  // then normalising the name leaves it as it is
};

// The fast path of reading pinned files: the full parser costs thousands of
// instructions a line, and almost every line of a resolved file is plainly
// a pin. Returns the two parts when the whole line is
//   name: [A-Za-z0-9], optionally [A-Za-z0-9._-]* and a final [A-Za-z0-9];
//   then "==" (not followed by another "=");
//   version: runs of 1 to 19 digits [0-9] joined by single "." (19 digits
//   always fit the 64-bit numbers of a parsed version);
// with nothing else: no white space, extras, marker, comment or other byte.
// For such a line normalise_requirement returns the line unchanged, so the
// caller may skip it. Every other line returns nothing and goes through
// normalise_requirement, with its results and errors.
std::optional<PlainPin> plain_pin(std::string_view line);

namespace plain_pin_detail {

// The bytes of a plain name: letters and digits may stand anywhere, "-"
// only inside, "." and "_" only inside and make a name that normalising
// changes. One table look-up a byte keeps the scan of a resolved file cheap.
enum NameByte : unsigned char { NOT_NAME = 0, ALNUM = 1, DASH = 2, DOT_OR_UNDERSCORE = 4 };
inline constexpr std::array<unsigned char, 256> NAME_BYTES = [] {
    std::array<unsigned char, 256> bytes{};
    for (int c = 0; c < 256; ++c) {
        if (text::is_ascii_alnum(static_cast<char>(c))) bytes[c] = ALNUM;
    }
    bytes['-'] = DASH;
    bytes['.'] = bytes['_'] = DOT_OR_UNDERSCORE;
    return bytes;
}();

inline unsigned char name_byte(char c) { return NAME_BYTES[static_cast<unsigned char>(c)]; }

// The scans below stop at the first byte that cannot continue a name or a
// version, and NUL continues neither: in text that ends with a NUL (what
// std::string::c_str() gives), `at_end` may answer false throughout and save
// the bounds check of every byte. Bounded text passes its real end test.

// The plain pin that starts at `name`, by the rules of plain_pin, when the
// byte after its version is one that cannot continue it (or there is none).
template <typename AtEnd>
std::optional<PlainPin> leading_plain_pin(const char* const name, AtEnd at_end) {
    // The name runs up to the first byte that cannot be in one, which must
    // start the "==": the name before the line's first "==" is then all name bytes.
    // Names of letters, digits and "-" are read by the first loop alone.
    const char* at = name;
    while (!at_end(at) && (name_byte(*at) & (ALNUM | DASH)) != 0) ++at;
    const char* const before_dot_or_underscore = at;
    while (!at_end(at) && name_byte(*at) != NOT_NAME) ++at;
    if (at == name || at_end(at) || at[0] != '=' || at_end(at + 1) || at[1] != '=') return std::nullopt;
    if (name_byte(*name) != ALNUM || name_byte(at[-1]) != ALNUM) return std::nullopt;
    const char* const version = at + 2;
    const char* const version_end = plain_release_end(version, at_end);
    if (version_end == version) return std::nullopt;
    return PlainPin{{name, at}, {version, version_end}, before_dot_or_underscore == at};
}

}  // namespace plain_pin_detail

// The logical lines of for_each_logical_requirement_line, in file order:
// a physical line that is plainly a pin as a whole (not inside a continued
// line) goes to `pin(PlainPin)`, every other logical line to
// `line(text, line_number)`. Exists for the reader of resolved files: one
// scan of such a line finds both its end and its two parts, where the general
// path splits, strips, searches it for comments and backslashes and then scans
// it again. Anything unusual on a line (space, comment, marker, "\", a
// version beyond plain release numbers) sends it down the general path.
// Taken as a std::string: its terminating NUL ends the scans of the last line.
template <typename OnPin, typename OnLine>
void for_each_pin_or_logical_line(const std::string& content, OnPin&& pin, OnLine&& line) {
    const auto never_at_end = [](const char*) { return false; };  // content ends with a NUL
    LogicalLineJoiner joiner;
    for (std::size_t at = 0; at < content.size();) {
        if (!joiner.continuing()) {
            if (const std::optional<PlainPin> plain = plain_pin_detail::leading_plain_pin(&content[at], never_at_end)) {
                const std::size_t end =
                    static_cast<std::size_t>(plain->version.data() - content.data()) + plain->version.size();
                const std::size_t line_break = end == content.size()  ? 0
                                               : content[end] == '\n' ? 1
                                                                      : text::line_break_length(content, end);
                if (end == content.size() || line_break != 0) {
                    joiner.count_taken_line();
                    pin(*plain);
                    at = end + line_break;
                    continue;
                }
            }
        }
        const text::LineBreak next = text::find_line_break(content, at);
        const std::string_view physical(content.data() + at, next.at - at);
        if (const std::optional<LogicalLineJoiner::Line> logical = joiner.take(physical)) {
            line(logical->text, logical->line_number);
        }
        at = next.at + next.length;
    }
    if (const std::optional<LogicalLineJoiner::Line> logical = joiner.finish()) {
        line(logical->text, logical->line_number);
    }
}

}  // namespace quorl
