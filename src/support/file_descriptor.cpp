#include "support/file_descriptor.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

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

int write_all(int fd, std::span<const std::string_view> pieces) {
    std::vector<iovec> vectors;
    vectors.reserve(std::min<std::size_t>(pieces.size(), IOV_MAX));
    std::size_t next = 0;     // the first piece not yet written whole
    std::size_t written = 0;  // how much of it is
    while (next < pieces.size()) {
        signals::throw_if_interrupted();  // as for one piece
        vectors.clear();
        for (std::size_t i = next; i < pieces.size() && vectors.size() < IOV_MAX; ++i) {
            const std::string_view piece = i == next ? pieces[i].substr(written) : pieces[i];
            vectors.push_back(iovec{const_cast<char*>(piece.data()), piece.size()});
        }
        const ssize_t n = ::writev(fd, vectors.data(), static_cast<int>(vectors.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<std::size_t>(n);
        while (next < pieces.size() && written >= pieces[next].size()) written -= pieces[next++].size();
    }
    return 0;
}

}  // namespace quorl
