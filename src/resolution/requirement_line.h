// Reading requirement specifier lines (PEP 508) as they appear in pinned
// requirements files, in one normal form.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

}  // namespace quorl
