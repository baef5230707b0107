// Reading and writing whole files. Errors are OsError naming the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorl::files {

// True for a regular file this process may execute.
bool is_executable(const std::filesystem::path& path);

// What read() takes at most unless told otherwise: far more than any
// requirements, exclude or report file holds, and a bound on the memory a
// device or a FIFO given in place of one can take.
inline constexpr std::size_t MAX_READ_BYTES = std::size_t{256} << 20;

// The whole content of a regular file, as bytes. A file longer than
// `max_bytes` is an OsError naming the path and the bound.
std::string read(const std::filesystem::path& path, std::size_t max_bytes = MAX_READ_BYTES);

// The same, from an open descriptor (not closed), to its end; `path` names
// it in errors.
std::string read(int fd, const std::filesystem::path& path, std::size_t max_bytes = MAX_READ_BYTES);

// Writes `content` as the new content of `path`, as a careful in-place
// editor does:
// - a symlink is followed (a relative one from the link's directory) and
//   its target is replaced; the link stays;
// - a regular file, or a name that does not exist yet, is replaced
//   atomically: the bytes go into a temporary file with a short fixed-length
//   name in the same directory, which is flushed and renamed over the
//   target. The previous file's mode, and where permitted its owner and
//   group, carry over; a new file gets the mode a plain create would give;
// - an existing file that is not a regular file (a device such as
//   /dev/null, a FIFO, /dev/stdout) is written in place;
// - a file this process may not open for writing is refused, even where
//   its directory would allow the rename.
// On any failure the previous file is left as it was and the temporary file
// is removed; when the directory refuses the temporary file, the error names
// the directory.
void replace_atomically(const std::filesystem::path& path, std::string_view content);

// Replaces several files, each as replace_atomically() replaces one, and
// none before every one is written: a failure while writing (a full disk,
// a refused directory, a stop request) leaves all of them as they were, and
// the temporary files are removed when the object goes without commit().
// Files that are written in place (a device, a FIFO) are written by add().
// Each file's bytes start towards the disk as soon as they are written, so
// that flushing one overlaps writing the next.
class Replacements {
public:
    struct Staged;

    Replacements();
    ~Replacements();
    Replacements(const Replacements&) = delete;
    Replacements& operator=(const Replacements&) = delete;

    // Writes `content` for `path` into a temporary file beside it.
    void add(const std::filesystem::path& path, std::string_view content);
    // The same for content that lies in `pieces`, one after the other,
    // written without joining them.
    void add(const std::filesystem::path& path, std::span<const std::string_view> pieces);
    // Flushes every file added, then renames each into place, in order.
    void commit();

private:
    // Files kept open, their bytes on their way to the disk, before the
    // oldest is flushed and closed.
    static constexpr std::size_t MAX_OPEN_STAGED = 64;

    std::vector<Staged> staged_;
    std::size_t flushed_ = 0;  // the first files of staged_, flushed and closed
};

// replace_atomically, except where the directory refuses the temporary file
// (this process may not create files in it) while the existing file itself
// may be written: the file is then overwritten in place, from its start, and
// cut to the new length. For a file whose writer (a resolver) wrote it in
// place in such a directory, so that it is not left as that writer left it.
// Not atomic: meant for content no longer than the file's, which needs no
// room the file does not have.
void rewrite(const std::filesystem::path& path, std::string_view content);

// The regular file that replace_atomically(path) replaces or creates, with
// symlinks followed; nothing when `path` names something written in place.
std::optional<std::filesystem::path> replaced_file(const std::filesystem::path& path);

}  // namespace quorl::files
