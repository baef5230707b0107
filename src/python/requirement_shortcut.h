// The shapes that nearly every Requires-Dist line of installed metadata has
// ("name>=1.0", "name[extra]>=1", "name (>=1.0)", "name ; extra == \"test\"",
// "name>=1.0 ; python_version >= \"3.8\""), read without the general
// parser: an environment holds tens of thousands of such lines.
#pragma once

#include <optional>
#include <string_view>

#include "python/requirement.h"

namespace quorl {

// The requirement `line` stands for, exactly as parse_requirement gives it,
// when the line has one of the common shapes: a name, extras without white
// space, at most one clause whose version is plain release numbers (in
// parentheses or not), and any marker. Nothing for every other line,
// including every invalid one: the general parser then reads it (and words
// its error).
std::optional<Requirement> parse_common_requirement(std::string_view line);

}  // namespace quorl
