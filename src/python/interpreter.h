// Finding the Python interpreter of the environment the tool works on.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorl {

// $VIRTUAL_ENV/bin/python when VIRTUAL_ENV is set; else $CONDA_PREFIX/bin/python
// when CONDA_PREFIX is set; else python3, then python, on PATH. Throws
// QuorlError with one clear line when none is there.
std::filesystem::path find_python_interpreter();

// The first executable regular file named `program` in a directory of PATH
// (an empty entry meaning "."); the empty path when there is none.
std::filesystem::path find_on_path(std::string_view program);

}  // namespace quorl
