// An owned file descriptor, and the write loop every writer of the tool uses.
#pragma once

#include <span>
#include <string_view>

namespace quorl {

// Closes its descriptor when it goes out of scope; -1 holds nothing.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Gives up ownership without closing.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes what it holds (errors ignored) and takes `fd`.
    void reset(int fd = -1);
    // Closes and reports the error of close() as an errno value (0: none):
    // on some file systems a failed write only shows up here.
    int close();

private:
    int fd_ = -1;
};

// Writes all of `data` to `fd`, retrying short and interrupted writes.
// Returns 0, or the errno value of the write that failed; throws Interrupted
// when a signal asked the run to stop while it waited.
int write_all(int fd, std::string_view data);

// The same for `pieces`, one after the other, handed over many at a time
// (writev) rather than joined into one buffer first.
int write_all(int fd, std::span<const std::string_view> pieces);

}  // namespace quorl
