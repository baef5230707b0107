// The canonical form of a distribution name, under which installed
// distributions, requirements and pins of one project meet.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

// Lower case, runs of "-", "_" and "." become one "-" ("Foo.Bar__baz" ->
// "foo-bar-baz").
std::string canonical_name(std::string_view name);

// The same, in place (a canonical name is never longer than the name).
void make_canonical(std::string& name);

// Whether canonical_name(name) == name, found without making it.
bool is_canonical(std::string_view name);

// Appends canonical_name(name) to `out`, and to `dash_prefixes`, for each
// "-" of `name` in order, the length of the canonical name of the text
// before it. That name is the prefix of canonical_name(name) of that length
// ("Foo_Bar-1.0": "foo-bar-1-0", and 7 for "foo-bar").
void append_canonical(std::string_view name, std::string& out, std::vector<std::size_t>& dash_prefixes);

}  // namespace quorl
