// Finding programs on PATH; the interpreter itself is chosen in
// interpreter_discovery.h.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorl {

// The first executable regular file named `program` in a directory of PATH
// (an empty entry meaning "."); the empty path when there is none.
std::filesystem::path find_on_path(std::string_view program);

}  // namespace quorl
