#include "python/interpreter.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/errors.h"
#include "support/files.h"

namespace quorl {

std::filesystem::path find_on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string_view directory = rest.substr(0, colon);
        if (directory.empty()) directory = ".";
        const std::filesystem::path candidate = std::filesystem::path(directory) / program;
        if (files::is_executable(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

namespace {

std::filesystem::path from_prefix(const char* variable) {
    const char* prefix = std::getenv(variable);
    if (prefix == nullptr || *prefix == '\0') return {};
    const std::filesystem::path python = std::filesystem::path(prefix) / "bin" / "python";
    if (!files::is_executable(python)) {
        throw QuorlError(std::string(variable) + " is set to '" + prefix + "' but " + python.string() +
                         " is not an executable Python interpreter");
    }
    return python;
}

}  // namespace

std::filesystem::path find_python_interpreter() {
    for (const char* variable : {"VIRTUAL_ENV", "CONDA_PREFIX"}) {
        std::filesystem::path python = from_prefix(variable);
        if (!python.empty()) return python;
    }
    for (const char* program : {"python3", "python"}) {
        std::filesystem::path python = find_on_path(program);
        if (!python.empty()) return python;
    }
    throw QuorlError("No Python interpreter found: set VIRTUAL_ENV or put python3 on PATH");
}

}  // namespace quorl
