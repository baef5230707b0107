// Finding programs on PATH; the interpreter itself is chosen in
// interpreter_discovery.h.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorl {

// The first executable regular file named `program` in a directory of PATH
// (an empty entry meaning "."); the empty path when there is none.
std::filesystem::path find_on_path(std::string_view program);

// The interpreter a script runs on, from its first line: "#!/path/python",
// "#!/usr/bin/env python3" (looked up on PATH), or the "'''exec' /path/python"
// line of the shell wrapper that pip writes where a path is too long for
// "#!". Empty when the script cannot be read or names none of these ways.
std::filesystem::path script_interpreter(const std::filesystem::path& script);

}  // namespace quorl
