#include "support/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/errors.h"
#include "support/file_descriptor.h"
#include "support/signals.h"

namespace quorl::files {
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int MAX_LINK_HOPS = 40;

std::string os_message(const std::string& what, const std::filesystem::path& path, int error) {
    return what + " '" + path.string() + "': " + std::strerror(error);
}

[[noreturn]] void fail_write(const std::filesystem::path& path, int error) {
    throw OsError(os_message("cannot write", path, error));
}

// open(2) that waits through signals, unless one asks the run to stop (an
// open of a FIFO blocks until the other side opens it).
int open_waiting(const std::filesystem::path& path, int flags, mode_t mode = 0) {
    while (true) {
        signals::throw_if_interrupted();
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

// What writing `path` means once symlinks are followed.
struct Target {
    std::filesystem::path file;           // the file written or replaced
    bool in_place = false;                // not a regular file
    std::optional<struct stat> existing;  // the regular file replaced
};

// Follows the symlinks of a name that does not exist as a file: a dangling
// link names the file to create.
std::filesystem::path follow_dangling_links(const std::filesystem::path& path, const std::filesystem::path& shown) {
    std::filesystem::path current = path;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), link, sizeof link);
        if (length < 0) fail_write(shown, errno);
        if (static_cast<std::size_t>(length) == sizeof link) fail_write(shown, ENAMETOOLONG);
        const std::filesystem::path next(std::string(link, static_cast<std::size_t>(length)));
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    fail_write(shown, ELOOP);
}

Target locate(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return {path, true, std::nullopt};
        // realpath() rather than reading links one by one: links such as
        // /dev/stdout lead through /proc, whose link texts are not paths.
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) fail_write(path, errno);
        Target target{real, false, info};
        std::free(real);
        return target;
    }
    if (errno != ENOENT) fail_write(path, errno);
    return {follow_dangling_links(path, path), false, std::nullopt};
}

void write_in_place(const std::filesystem::path& path, std::span<const std::string_view> content) {
    FileDescriptor file(open_waiting(path, O_WRONLY | O_TRUNC));
    if (!file.is_open()) fail_write(path, errno);
    if (const int error = write_all(file.get(), content); error != 0) fail_write(path, error);
    if (const int error = file.close(); error != 0) fail_write(path, error);
}

// A temporary file beside the target, removed unless it was renamed into
// place. Its name has a fixed short length, so that any target name the file
// system accepts works. When it cannot be made, fd() is closed and error()
// says why.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& directory) : path_((directory / ".quorl-XXXXXX.tmp").string()) {
        fd_.reset(::mkstemps(path_.data(), 4));
        if (!fd_.is_open()) error_ = errno;
    }
    ~TemporaryFile() {
        fd_.reset();
        // A name that could not be made may be another process's file.
        if (error_ == 0 && !renamed_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FileDescriptor& fd() { return fd_; }
    int error() const { return error_; }
    const std::string& path() const { return path_; }
    void mark_renamed() { renamed_ = true; }

private:
    std::string path_;
    FileDescriptor fd_;
    bool renamed_ = false;
    int error_ = 0;
};

// Overwrites a regular file's bytes from its start, then cuts off the rest:
// content no longer than the file needs no room the file does not have.
void overwrite_from_start(const std::filesystem::path& file, const std::filesystem::path& shown,
                          std::span<const std::string_view> content) {
    FileDescriptor out(open_waiting(file, O_WRONLY));
    if (!out.is_open()) fail_write(shown, errno);
    if (const int error = write_all(out.get(), content); error != 0) fail_write(shown, error);
    std::size_t size = 0;
    for (const std::string_view piece : content) size += piece.size();
    if (::ftruncate(out.get(), static_cast<off_t>(size)) != 0) fail_write(shown, errno);
    if (::fsync(out.get()) != 0) fail_write(shown, errno);
    if (const int error = out.close(); error != 0) fail_write(shown, error);
}

// The replaced file's owner, group and mode, as `sed -i` keeps them; a new
// file gets the mode of a plain create. mkstemp() made the file 0600.
// Returns 0 or the errno value of a failed fchmod().
int carry_over_attributes(int fd, const std::optional<struct stat>& existing) {
    if (!existing) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
    }
    struct stat created {};
    if (::fstat(fd, &created) == 0 && (created.st_uid != existing->st_uid || created.st_gid != existing->st_gid)) {
        // Only root may give a file away; anyone may keep the group when
        // they belong to it. Failing both keeps this user's ownership.
        if (::fchown(fd, existing->st_uid, existing->st_gid) != 0) (void)::fchown(fd, -1, existing->st_gid);
    }
    // After fchown, which clears the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, existing->st_mode & 07777) == 0 ? 0 : errno;
}

}  // namespace

bool is_executable(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored) && ::access(path.c_str(), X_OK) == 0;
}

std::string read(const std::filesystem::path& path, std::size_t max_bytes) {
    const FileDescriptor file(open_waiting(path, O_RDONLY));
    if (!file.is_open()) throw OsError(os_message("cannot open", path, errno));
    return read(file.get(), path, max_bytes);
}

std::string read(int fd, const std::filesystem::path& path, std::size_t max_bytes) {
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) throw OsError(os_message("cannot read", path, EISDIR));
    std::string content;
    // A regular file's size is known: room for it at once spares copying
    // the content as it grows (one byte more, to see the end in one read).
    if (known && S_ISREG(info.st_mode) && info.st_size > 0) {
        content.reserve(std::min(static_cast<std::size_t>(info.st_size), max_bytes) + 1);
    }
    char buffer[1 << 16];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                signals::throw_if_interrupted();
                continue;
            }
            throw OsError(os_message("cannot read", path, errno));
        }
        if (got == 0) break;
        if (static_cast<std::size_t>(got) > max_bytes - content.size()) {
            throw OsError("cannot read '" + path.string() + "': longer than " + std::to_string(max_bytes) + " bytes");
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

std::optional<std::filesystem::path> replaced_file(const std::filesystem::path& path) {
    Target target = locate(path);
    if (target.in_place) return std::nullopt;
    return std::move(target.file);
}

// A replacement written into its temporary file but not yet in place.
struct Replacements::Staged {
    std::filesystem::path shown;  // as the caller named it, for messages
    std::filesystem::path file;   // what the rename replaces
    std::unique_ptr<TemporaryFile> temporary;
};

namespace {

// Writes `content` for `path`: into a temporary file beside the file it
// replaces, returned unflushed and not yet renamed; or, where the file is
// written another way (in place, or over its start where the directory
// refuses a temporary file), completely, returning no temporary file.
Replacements::Staged stage(const std::filesystem::path& path, std::span<const std::string_view> content,
                           bool overwrite_where_directory_refuses) {
    const Target target = locate(path);
    if (target.in_place) {
        write_in_place(path, content);
        return {path, target.file, nullptr};
    }
    if (target.existing) {
        // Refused exactly when open() would refuse to write the file itself.
        const FileDescriptor probe(open_waiting(target.file, O_WRONLY | O_NONBLOCK));
        if (!probe.is_open()) fail_write(path, errno);
    }
    const std::filesystem::path directory =
        target.file.has_parent_path() ? target.file.parent_path() : std::filesystem::path(".");
    auto temporary = std::make_unique<TemporaryFile>(directory);
    if (const int error = temporary->error(); error != 0) {
        if (overwrite_where_directory_refuses && target.existing && (error == EACCES || error == EPERM)) {
            signals::throw_if_interrupted();  // the last moment a stop request keeps the previous file
            overwrite_from_start(target.file, path, content);
            return {path, target.file, nullptr};
        }
        // The file may be writable: the directory is what refused.
        throw OsError(os_message("cannot write", path, error) + " (creating a file in its directory '" +
                      directory.string() + "')");
    }
    if (const int error = carry_over_attributes(temporary->fd().get(), target.existing); error != 0) {
        fail_write(path, error);
    }
    if (const int error = write_all(temporary->fd().get(), content); error != 0) fail_write(path, error);
    return {path, target.file, std::move(temporary)};
}

// Waits until a staged file's bytes are on the disk.
void flush(Replacements::Staged& staged) {
    if (!staged.temporary || !staged.temporary->fd().is_open()) return;
    if (::fsync(staged.temporary->fd().get()) != 0) fail_write(staged.shown, errno);
    if (const int error = staged.temporary->fd().close(); error != 0) fail_write(staged.shown, error);
}

void put_in_place(Replacements::Staged& staged) {
    if (!staged.temporary) return;
    if (::rename(staged.temporary->path().c_str(), staged.file.c_str()) != 0) fail_write(staged.shown, errno);
    staged.temporary->mark_renamed();
}

void replace(const std::filesystem::path& path, std::string_view content, bool overwrite_where_directory_refuses) {
    const std::string_view pieces[] = {content};
    Replacements::Staged staged = stage(path, pieces, overwrite_where_directory_refuses);
    flush(staged);
    // The last moment a stop request can keep the previous file.
    signals::throw_if_interrupted();
    put_in_place(staged);
}

}  // namespace

Replacements::Replacements() = default;
Replacements::~Replacements() = default;

void Replacements::add(const std::filesystem::path& path, std::string_view content) {
    const std::string_view pieces[] = {content};
    add(path, pieces);
}

void Replacements::add(const std::filesystem::path& path, std::span<const std::string_view> pieces) {
    staged_.push_back(stage(path, pieces, false));
    // Start handing the bytes to the disk now: by the time commit() waits
    // for them, the writing of the files after this one has overlapped it.
    if (const auto& temporary = staged_.back().temporary) {
        (void)::sync_file_range(temporary->fd().get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    // Each staged file holds a descriptor until it is flushed: many groups
    // must not run the process out of them.
    if (staged_.size() > flushed_ + MAX_OPEN_STAGED) flush(staged_[flushed_++]);
}

void Replacements::commit() {
    for (Staged& staged : staged_) flush(staged);
    // The last moment a stop request can keep every previous file.
    signals::throw_if_interrupted();
    for (Staged& staged : staged_) put_in_place(staged);
    staged_.clear();
}

void replace_atomically(const std::filesystem::path& path, std::string_view content) { replace(path, content, false); }

void rewrite(const std::filesystem::path& path, std::string_view content) { replace(path, content, true); }

}  // namespace quorl::files
