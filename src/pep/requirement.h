// PEP 508 requirement lines: "name[extra,...] (specifiers | @ url) ; marker".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/marker.h"

namespace quorl {

struct Requirement {
    std::string name;                 // as written in the line
    std::vector<std::string> extras;  // as written, in order
    std::string specifier;            // version clauses without spaces (">=1.0,<2"); empty when none
    std::string url;                  // after "@"; empty when none
    std::optional<Marker> marker;     // after ";"
};

// Parses one requirement line. Version clauses are checked against PEP 440
// (a ".*" or local label only after "==" / "!="). Throws ValueError
// "Invalid requirement '<line>': Expected ... at position <n>".
Requirement parse_requirement(std::string_view line);

// The same, always through the general parser: parse_requirement reads the
// common line shapes through a shortcut first (python/requirement_shortcut.h),
// and the two must agree.
Requirement parse_requirement_in_full(std::string_view line);

// The same, for a line declared by an installed distribution: the error
// names the distribution and where its metadata lies:
// "Invalid requirement '<line>' of distribution <name> (<location>): ...".
Requirement parse_requirement_of(std::string_view line, std::string_view distribution, std::string_view location);

}  // namespace quorl
