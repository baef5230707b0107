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

// A line read up to its marker, whose text is left unparsed: an installed
// environment repeats a handful of marker texts thousands of times, so a
// reader of many lines parses and evaluates each text once. `marker` of the
// requirement stays empty; `marker_text` is the text after ";" (a view into
// the line), which the caller must still parse (Marker::parse_rest), going
// to parse_requirement_of for the error when it fails. Nothing when the
// line fails before its marker.
struct RequirementHead {
    Requirement requirement;
    std::optional<std::string_view> marker_text;
};
std::optional<RequirementHead> parse_requirement_head(std::string_view line);

// The same, for a line declared by an installed distribution: the error
// names the distribution and where its metadata lies:
// "Invalid requirement '<line>' of distribution <name> (<location>): ...".
Requirement parse_requirement_of(std::string_view line, std::string_view distribution, std::string_view location);

}  // namespace quorl
