// Reading requirement specifier lines (PEP 508) as they appear in pinned
// requirements files, in one normal form. Files are read as pip reads
// requirements files in what resolvers write into them: a byte-order mark at
// the start, "\" continuations and per-requirement --hash options.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/requirement.h"
#include "support/text.h"

namespace quorl {

// One logical line of a requirements file and where it starts (1-based).
struct RequirementLine {
    std::string text;
    std::size_t line_number;
};

// Splits file content into logical requirement lines: a UTF-8 byte-order
// mark at the start is skipped; every line is stripped; blank lines and
// lines starting with "#" are skipped; " #" starts a trailing comment; a
// line ending with "\" is continued by the next kept line, the white space
// around the "\" kept as one space (as pip joins them: "a==1 \" and
// "  --hash=..." make "a==1  --hash=..."). Lines end where
// text::split_lines ends them.
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
    text::for_each_line(text::without_utf8_bom(content), [&](std::string_view physical) {
        if (const std::optional<LogicalLineJoiner::Line> line = joiner.take(physical)) {
            visit(line->text, line->line_number);
        }
    });
    if (const std::optional<LogicalLineJoiner::Line> line = joiner.finish()) visit(line->text, line->line_number);
}

// The requirement of a logical line that ends in per-requirement hash
// options ("a==1 --hash=sha256:... --hash sha256:..."): pip reads the words
// before the first one starting with "-" as the requirement, and a hash
// names what may be installed, not what is pinned. A line without options
// is returned whole, and so is one with any other option (or nothing before
// its options): the requirement parser then rejects it as before. Throws
// ValueError for a --hash whose value is not "<sha256|sha384|sha512>:<hex>".
std::string_view without_hash_options(std::string_view line);

// The normal form of a parsed requirement: the name as written, the extras
// as "[a,b]" (none for "[]"), the version clauses without spaces in written
// order ("==1.0", or "<2,>=1"), " @ URL" for a URL requirement, then, with
// `with_marker`, "; " and the marker in its canonical text.
std::string normal_form(const Requirement& requirement, bool with_marker = true);

// normal_form of the requirement `line` holds. Throws ValueError for
// anything that is not a requirement: option lines ("-r x", "--index-url
// ..."), an invalid name, a bad version clause or a bad marker.
std::string normalise_requirement(std::string_view line);

}  // namespace quorl
