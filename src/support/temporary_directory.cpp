#include "support/temporary_directory.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "support/errors.h"

namespace quorl {

TemporaryDirectory::TemporaryDirectory(std::string_view prefix) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    // mkdtemp creates the directory 0700: what goes in it is ours alone.
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw OsError("cannot create a temporary directory in '" + base.string() + "': " + std::strerror(errno));
    }
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace quorl
