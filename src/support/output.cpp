#include "support/output.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "support/errors.h"
#include "support/file_descriptor.h"

namespace quorl {

void StdoutWriter::flush() {
    std::fflush(stdout);  // keep order with anything printed through stdio
    const int error = write_all(STDOUT_FILENO, buffer_);
    buffer_.clear();
    if (error != 0) throw OsError(std::string("cannot write to standard output: ") + std::strerror(error));
}

}  // namespace quorl
