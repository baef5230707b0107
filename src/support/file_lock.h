// An advisory lock that makes runs working on the same file take turns.
#pragma once

#include <filesystem>

#include "support/file_descriptor.h"

namespace quorl {

class FileLock {
public:
    // Takes an exclusive flock() on the lock file `lock_path`, creating it.
    // When another process holds it, one line on standard error says so,
    // then the call waits. A lock file that cannot be created or locked
    // (a read-only directory, a file system without locks) leaves the run
    // unlocked rather than failing it: the write that follows reports what
    // matters. Throws Interrupted when a signal stops the wait.
    explicit FileLock(const std::filesystem::path& lock_path);
    // Removes the lock file, then releases the lock.
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // The lock file for `file`: ".<name>.lock" beside it, the name cut so
    // that it fits in a directory entry (two long names that share a
    // prefix then only take turns needlessly).
    static std::filesystem::path beside(const std::filesystem::path& file);

private:
    // One attempt: true when the lock is held on the file that `path_`
    // still names; false when the file was removed meanwhile.
    bool lock_once(bool& announced);

    std::filesystem::path path_;
    FileDescriptor fd_;
};

}  // namespace quorl
