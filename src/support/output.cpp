#include "support/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/errors.h"

namespace quorl {

void StdoutWriter::flush() {
    std::fflush(stdout);  // keep order with anything printed through stdio
    std::size_t written = 0;
    while (written < buffer_.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, buffer_.data() + written, buffer_.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            buffer_.clear();
            throw OsError(std::string("cannot write to standard output: ") + std::strerror(errno));
        }
        written += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

}  // namespace quorl
