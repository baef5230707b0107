// Keeps the interpreter's answer across runs, in the user's cache directory:
// asking costs a child process of 30-50 ms, more than the rest of a small
// `groups` run. A kept answer is used only when the interpreter would answer
// the same:
// - it is filed under a key holding everything the answer is computed from
//   that the tool can see without running it: the query program, the
//   interpreter as given, the working directory, the environment variables
//   named PYTHON*, HOME and LD_LIBRARY_PATH, the real and effective user and
//   group ids and the kernel's uname (the platform marker values);
// - it carries stamps (device, inode, size, modification and change times,
//   or the error of stat) of every file it was read from: the interpreter
//   and its real path, the pyvenv.cfg files beside it and one level up, each
//   search-path entry, and what the query program names besides (site
//   directories, .pth files and what they name, the modules loaded at
//   start-up). All must still match.
// An interpreter that is a script (a version manager's shim) is never kept:
// it may run another interpreter each time, chosen by what no stamp covers.
//
// The directory is $XDG_CACHE_HOME/quorl-python-dependencies when that is an
// absolute path, else $HOME/.cache/quorl-python-dependencies; it is used only
// when it is a real directory owned by this user that nobody else may write
// into, and its files only when they are regular files of the same kind.
// Nothing here throws but a stop request (Interrupted) while writing: any
// failure is a debug line, and the tool asks the interpreter as it would
// without a cache.
#pragma once

#include <time.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/file_descriptor.h"

namespace quorl {

class InterpreterFactsCache {
public:
    // Opens (creating it if needed) the cache directory for `interpreter`;
    // when there is none usable, load() finds nothing and store() keeps
    // nothing.
    explicit InterpreterFactsCache(const std::filesystem::path& interpreter);

    bool usable() const { return directory_.is_open(); }

    // The interpreter's output kept under this key, when every stamp still
    // matches.
    std::optional<std::string> load() const;

    // Keeps `answer`, the interpreter's output, stamped with the interpreter,
    // `paths` (its search path and the files the query program named) and
    // the files beside the interpreter. `asked_at` is the time (of
    // CLOCK_REALTIME_COARSE, the clock of file times) just before the
    // interpreter started: a file changed since may have been read before
    // its change, so nothing is kept then.
    void store(std::string_view answer, const std::vector<std::string>& paths, const timespec& asked_at) const;

private:
    std::filesystem::path interpreter_;
    std::string key_;
    std::string name_;  // of the file, from a hash of the key
    FileDescriptor directory_;
};

}  // namespace quorl
