// Choosing the Python interpreter whose environment the tool reads.
//
// A native build installed into a product's venv must read that venv even
// when it is run by path without activation, so the candidates are tried in a
// fixed order and the first one present wins:
//   1. the --python option;
//   2. $VIRTUAL_ENV/bin/python;
//   3. $CONDA_PREFIX/bin/python;
//   4. the venv that holds this executable (a pyvenv.cfg one level above the
//      executable's directory), unless it is a pipx or `uv tool` environment,
//      which holds only this tool and none of the product;
//   5. .venv/bin/python of the working directory or its nearest parent that
//      has a .venv with a pyvenv.cfg;
//   6. python3, then python, on PATH.
// A candidate that is named (an option, a variable, a venv that was found) but
// has no executable interpreter is an error, not a reason to fall through: a
// silent fall-back would read the wrong environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quorl {

// What the choice depends on, apart from PATH.
struct InterpreterSearch {
    std::optional<std::filesystem::path> python_option;
    std::optional<std::string> virtual_env;
    std::optional<std::string> conda_prefix;
    std::filesystem::path executable;         // this program, symlinks resolved; may be empty
    std::filesystem::path working_directory;  // may be empty
};

struct InterpreterChoice {
    std::filesystem::path interpreter;
    std::string reason;  // why this one, for the debug line
};

// The first candidate of the order above. Throws QuorlError with one line
// naming the candidate when it is not usable, or when there is none at all.
InterpreterChoice choose_interpreter(const InterpreterSearch& search);

// Records the --python option; takes effect when called before the first
// find_python_interpreter().
void set_python_option(const std::filesystem::path& python);

// The interpreter of this process: choose_interpreter() over the process's
// environment variables, executable and working directory, chosen once and
// logged at debug level with its reason. Errors as choose_interpreter().
std::filesystem::path find_python_interpreter();

}  // namespace quorl
