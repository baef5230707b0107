// The canonical form of a distribution name, under which installed
// distributions, requirements and pins of one project meet.
#pragma once

#include <string>
#include <string_view>

namespace quorl {

// Lower case, runs of "-", "_" and "." become one "-" ("Foo.Bar__baz" ->
// "foo-bar-baz").
std::string canonical_name(std::string_view name);

// The same, in place (a canonical name is never longer than the name).
void make_canonical(std::string& name);

}  // namespace quorl
