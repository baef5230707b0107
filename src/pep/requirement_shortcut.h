// The shapes that nearly every Requires-Dist line of installed metadata has
// ("name>=1.0", "name[extra]>=1", "name (>=1.0)", "name ; extra == \"test\"",
// "name>=1.0 ; python_version >= \"3.8\""), read without the general
// parser: an environment holds tens of thousands of such lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/requirement.h"

namespace quorl {

// The requirement `line` stands for, exactly as parse_requirement gives it,
// when the line has one of the common shapes: a name, extras without white
// space, at most one clause whose version is plain release numbers (in
// parentheses or not), and any marker. Nothing for every other line,
// including every invalid one: the general parser then reads it (and words
// its error).
std::optional<Requirement> parse_common_requirement(std::string_view line);

// A common line read up to its marker, whose text is left unparsed: an
// environment repeats a handful of marker texts thousands of times, so a
// reader of many lines may parse and evaluate each text once. The views
// point into `line`.
struct CommonRequirementHead {
    std::string_view name;                        // as written
    std::vector<std::string> extras;              // as written, in order
    std::string specifier;                        // as parse_requirement gives it
    std::optional<std::string_view> marker_text;  // after ";"; may be invalid
};

// The head of `line` when it has one of the common shapes, the marker aside.
// A caller must still parse the marker text (Marker::parse_rest over it) and
// hand the whole line to the general parser when that fails: together that
// gives exactly what parse_common_requirement gives.
std::optional<CommonRequirementHead> split_common_requirement(std::string_view line);

}  // namespace quorl
