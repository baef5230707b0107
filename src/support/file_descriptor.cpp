#include "support/file_descriptor.h"

#include <sys/uio.h>
#include <unistd.h>

#include <array>
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
    const std::string_view pieces[] = {data};
    return write_all(fd, pieces);
}

int write_all(int fd, std::span<const std::string_view> pieces) {
    // Handed over up to BATCH at a time, from the stack.
    constexpr std::size_t BATCH = 64;
    std::array<iovec, BATCH> vectors;
    std::size_t next = 0;     // the first piece not yet written whole
    std::size_t written = 0;  // how much of it is
    // Past the pieces written whole, empty ones included: nothing left to
    // write makes no system call.
    const auto pass_written = [&] {
        while (next < pieces.size() && written >= pieces[next].size()) written -= pieces[next++].size();
    };
    pass_written();
    while (next < pieces.size()) {
        // A write blocked on a full pipe returns early on a signal; one
        // that asks the run to stop must not be followed by another wait.
        signals::throw_if_interrupted();
        std::size_t count = 0;
        for (std::size_t i = next; i < pieces.size() && count < BATCH; ++i) {
            const std::string_view piece = i == next ? pieces[i].substr(written) : pieces[i];
            vectors[count++] = iovec{const_cast<char*>(piece.data()), piece.size()};
        }
        const ssize_t n = ::writev(fd, vectors.data(), static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<std::size_t>(n);
        pass_written();
    }
    return 0;
}

}  // namespace quorl
