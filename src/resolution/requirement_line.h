// Reading requirement specifier lines (PEP 508) as they appear in pinned
// requirements files, in one normal form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The normal form of one requirement specifier: the name as written, the
// extras as "[a,b]" (none for "[]"), the version clauses without spaces in
// written order ("==1.0", or "<2,>=1"), " @ URL" for a URL requirement, then
// "; " and the marker in its canonical text. Throws ValueError for anything
// that is not a requirement: option lines ("-r x", "--index-url ..."), an
// invalid name, a bad version clause or a bad marker.
std::string normalise_requirement(std::string_view line);

}  // namespace quorl
