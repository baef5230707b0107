#include "environment/interpreter_discovery.h"

#include <cstdlib>
#include <system_error>

#include "environment/interpreter.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/logging.h"

namespace quorl {
namespace fs = std::filesystem;

namespace {

bool is_file(const fs::path& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

bool is_venv(const fs::path& directory) { return is_file(directory / "pyvenv.cfg"); }

// pipx and `uv tool` leave their bookkeeping file at the root of each tool
// venv; such a venv holds one tool, not the product.
const char* tool_environment_maker(const fs::path& venv) {
    if (is_file(venv / "pipx_metadata.json")) return "pipx";
    if (is_file(venv / "uv-receipt.toml")) return "uv tool";
    return nullptr;
}

fs::path venv_interpreter(const fs::path& venv, const std::string& named_as) {
    fs::path python = venv / "bin" / "python";
    if (!files::is_executable(python)) {
        throw QuorlError(named_as + " has no executable Python interpreter " + python.string());
    }
    return python;
}

std::optional<InterpreterChoice> from_option(const std::optional<fs::path>& option) {
    if (!option) return std::nullopt;
    std::error_code error;
    const fs::path python = fs::absolute(*option, error);
    if (error || !fs::exists(python, error)) {
        throw QuorlError("--python " + option->string() + ": no such file");
    }
    if (!files::is_executable(python)) {
        throw QuorlError("--python " + option->string() + " is not an executable Python interpreter");
    }
    return InterpreterChoice{python, "given with --python"};
}

std::optional<InterpreterChoice> from_prefix(const char* variable, const std::optional<std::string>& prefix) {
    if (!prefix || prefix->empty()) return std::nullopt;
    const std::string named_as = std::string(variable) + "=" + *prefix;
    return InterpreterChoice{venv_interpreter(*prefix, named_as), std::string(variable) + " is set"};
}

std::optional<InterpreterChoice> from_own_venv(const fs::path& executable) {
    if (executable.empty()) return std::nullopt;
    const fs::path venv = executable.parent_path().parent_path();
    if (!is_venv(venv)) return std::nullopt;
    if (const char* maker = tool_environment_maker(venv)) {
        log::debug("Not reading " + venv.string() + ", the " + maker +
                   " environment of this executable: it holds only this tool");
        return std::nullopt;
    }
    const std::string named_as = "The venv " + venv.string() + " of this executable";
    return InterpreterChoice{venv_interpreter(venv, named_as), "the venv " + venv.string() + " holds this executable"};
}

std::optional<InterpreterChoice> from_dot_venv(const fs::path& working_directory) {
    for (fs::path directory = working_directory; !directory.empty(); directory = directory.parent_path()) {
        const fs::path venv = directory / ".venv";
        if (is_venv(venv)) {
            return InterpreterChoice{venv_interpreter(venv, "The venv " + venv.string()),
                                     ".venv found in " + directory.string()};
        }
        if (directory == directory.parent_path()) break;
    }
    return std::nullopt;
}

std::optional<InterpreterChoice> from_path() {
    for (const char* program : {"python3", "python"}) {
        fs::path python = find_on_path(program);
        if (!python.empty()) return InterpreterChoice{python, std::string(program) + " found on PATH"};
    }
    return std::nullopt;
}

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

InterpreterSearch search_of_this_process() {
    InterpreterSearch search;
    search.virtual_env = variable("VIRTUAL_ENV");
    search.conda_prefix = variable("CONDA_PREFIX");
    std::error_code error;
    // /proc/self/exe names the file itself, so a symlink in a bin/ directory
    // on PATH leads to the venv the file was installed into.
    search.executable = fs::read_symlink("/proc/self/exe", error);
    if (error) search.executable.clear();
    search.working_directory = fs::current_path(error);
    if (error) search.working_directory.clear();
    return search;
}

std::optional<fs::path>& python_option() {
    static std::optional<fs::path> option;
    return option;
}

}  // namespace

InterpreterChoice choose_interpreter(const InterpreterSearch& search) {
    if (auto choice = from_option(search.python_option)) return *choice;
    if (auto choice = from_prefix("VIRTUAL_ENV", search.virtual_env)) return *choice;
    if (auto choice = from_prefix("CONDA_PREFIX", search.conda_prefix)) return *choice;
    if (auto choice = from_own_venv(search.executable)) return *choice;
    if (auto choice = from_dot_venv(search.working_directory)) return *choice;
    if (auto choice = from_path()) return *choice;
    throw QuorlError("No Python interpreter found: pass --python, set VIRTUAL_ENV or put python3 on PATH");
}

void set_python_option(const fs::path& python) { python_option() = python; }

fs::path find_python_interpreter() {
    static const fs::path chosen = [] {
        InterpreterSearch search = search_of_this_process();
        search.python_option = python_option();
        const InterpreterChoice choice = choose_interpreter(search);
        log::debug("Python interpreter " + choice.interpreter.string() + " (" + choice.reason + ")");
        return choice.interpreter;
    }();
    return chosen;
}

}  // namespace quorl
