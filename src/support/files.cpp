#include "support/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/errors.h"

namespace quorl::files {
namespace {

std::string os_message(const std::string& what, const std::filesystem::path& path, int error) {
    return what + " '" + path.string() + "': " + std::strerror(error);
}

}  // namespace

bool is_executable(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored) && ::access(path.c_str(), X_OK) == 0;
}

std::string read(const std::filesystem::path& path, std::size_t max_bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw OsError(os_message("cannot open", path, errno));
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw OsError(os_message("cannot read", path, EISDIR));
    }
    std::string content;
    char buffer[1 << 16];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            throw OsError(os_message("cannot read", path, error));
        }
        if (got == 0) break;
        if (static_cast<std::size_t>(got) > max_bytes - content.size()) {
            ::close(fd);
            throw OsError("cannot read '" + path.string() + "': longer than " + std::to_string(max_bytes) + " bytes");
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return content;
}

void replace_atomically(const std::filesystem::path& path, std::string_view content) {
    const std::filesystem::path directory =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temp_name = ".";
    temp_name += path.filename().string();
    temp_name += ".tmpXXXXXX";
    std::string temp = (directory / temp_name).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw OsError(os_message("cannot write", path, errno));

    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw OsError(os_message("cannot write", path, error));
    };
    // mkstemp creates the file 0600; give it the mode a plain create would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777)
                                                             : (0666 & ~mask);
    if (::fchmod(fd, mode) != 0) fail(errno);

    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw OsError(os_message("cannot write", path, error));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw OsError(os_message("cannot write", path, error));
    }
}

}  // namespace quorl::files
