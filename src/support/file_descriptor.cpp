#include "support/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

#include "support/signals.h"

namespace quorl {

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::close() {
    if (fd_ < 0) return 0;
    const int result = ::close(release());
    return result == 0 ? 0 : errno;
}

int write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        // A write blocked on a full pipe returns early on a signal; one
        // that asks the run to stop must not be followed by another wait.
        signals::throw_if_interrupted();
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace quorl
