#include "environment/interpreter.h"

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

}  // namespace quorl
