// Finding the Python interpreter of the environment the tool works on.
#pragma once

#include <filesystem>

namespace quorl {

// $VIRTUAL_ENV/bin/python when VIRTUAL_ENV is set; else $CONDA_PREFIX/bin/python
// when CONDA_PREFIX is set; else python3, then python, on PATH. Throws
// QuorlError with one clear line when none is there.
std::filesystem::path find_python_interpreter();

}  // namespace quorl
