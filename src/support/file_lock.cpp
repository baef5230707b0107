#include "support/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/logging.h"
#include "support/signals.h"

namespace quorl {
namespace {

// NAME_MAX of Linux file systems.
constexpr std::size_t MAX_NAME = 255;

void run_unlocked(const std::string& what, const std::filesystem::path& path, int error) {
    log::debug("Running without a lock: cannot " + what + " " + path.string() + ": " + std::strerror(error));
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& lock_path) : path_(lock_path) {
    bool announced = false;
    while (!lock_once(announced)) {}
}

bool FileLock::lock_once(bool& announced) {
    // Read-only is enough for flock(), and opens a lock file that another
    // user created. No symlink: a planted link must not make this run
    // create a file elsewhere.
    fd_.reset(::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666));
    if (!fd_.is_open()) {
        run_unlocked("open", path_, errno);
        return true;
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            run_unlocked("lock", path_, errno);
            fd_.reset();
            return true;
        }
        if (!announced) {
            log::warning("Waiting for the lock on " + path_.string() + ": another run is working on the same file");
            announced = true;
        }
        while (true) {
            signals::throw_if_interrupted();
            if (::flock(fd_.get(), LOCK_EX) == 0) break;
            if (errno != EINTR) {
                run_unlocked("lock", path_, errno);
                fd_.reset();
                return true;
            }
        }
    }
    // The run before removes its lock file before it lets go: a lock on a
    // removed file guards nothing, so open the new one.
    struct stat held {
    }, named{};
    if (::fstat(fd_.get(), &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
        return true;
    }
    fd_.reset();
    return false;
}

FileLock::~FileLock() {
    if (!fd_.is_open()) return;
    ::unlink(path_.c_str());
    fd_.reset();
}

std::filesystem::path FileLock::beside(const std::filesystem::path& file) {
    const std::string suffix = ".lock";
    std::string name(1, '.');
    name += file.filename().string();
    if (name.size() + suffix.size() > MAX_NAME) name.resize(MAX_NAME - suffix.size());
    return file.parent_path() / (name + suffix);
}

}  // namespace quorl
