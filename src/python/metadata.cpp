#include "python/metadata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/errors.h"
#include "support/text.h"

namespace quorl {
namespace {

// Large enough for the header block of almost every METADATA file in one read.
constexpr std::size_t CHUNK = 4096;

// Closes the descriptor on every path out of a reader.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void throw_read_error(std::string_view shown_path, int error) {
    throw OsError("Cannot read " + std::string(shown_path) + ": " + std::strerror(error));
}

// Opens for reading; -1 when the file is absent, is not a regular file, or a
// path component is not a directory. A FIFO or a device in place of a
// metadata file would block the open or the reads for ever: O_NONBLOCK lets
// the open return, and only regular files are read.
int open_if_present(int directory_fd, const char* relative_path, std::string_view shown_path) {
    const int fd = ::openat(directory_fd, relative_path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR) return -1;
        throw_read_error(shown_path, errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// End of the header block in `data` (the position of its empty line), or
// npos when it has not been read yet. Scans from `from`.
std::size_t find_header_end(std::string_view data, std::size_t from) {
    if (!data.empty() && from == 0 && (data[0] == '\n' || data.substr(0, 2) == "\r\n")) return 0;
    for (std::size_t at = data.find('\n', from); at != std::string_view::npos; at = data.find('\n', at + 1)) {
        const std::size_t next = at + 1;
        if (next < data.size() && data[next] == '\n') return next;
        if (next + 1 < data.size() && data[next] == '\r' && data[next + 1] == '\n') return next;
    }
    return std::string_view::npos;
}

// Reads until `stop(buffer, scanned)` finds the end or the file ends.
template <typename StopAt>
std::optional<std::string> read_until(int directory_fd, const char* relative_path, std::string_view shown_path,
                                      StopAt stop) {
    const FileDescriptor file(open_if_present(directory_fd, relative_path, shown_path));
    if (file.get() < 0) return std::nullopt;
    std::string buffer;
    std::size_t scanned = 0;
    char chunk[CHUNK];
    while (true) {
        const ssize_t got = ::read(file.get(), chunk, CHUNK);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == EISDIR) return std::nullopt;
            throw_read_error(shown_path, errno);
        }
        if (got == 0) return buffer;
        // Most header blocks end within the first chunk: keep only them,
        // rather than a chunk-sized string per file.
        if (buffer.empty()) {
            const std::string_view first(chunk, static_cast<std::size_t>(got));
            const std::size_t end = stop(first, 0);
            if (end != std::string_view::npos) return std::string(first.substr(0, end));
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
        const std::size_t end = stop(std::string_view(buffer), scanned);
        if (end != std::string_view::npos) {
            buffer.resize(end);
            return buffer;
        }
        // The next scan steps back over a line end split between two chunks.
        scanned = buffer.size() > 2 ? buffer.size() - 2 : 0;
    }
}

// The headers the tool keeps; every other header is skipped without copying
// its value (a METADATA header block is mostly Classifier and Summary lines).
enum class KeptHeader { None, Name, RequiresDist };

KeptHeader kept_header(std::string_view name, const MetadataHeaders& headers) {
    if (text::equals_ignoring_case(name, "Requires-Dist")) return KeptHeader::RequiresDist;
    if (text::equals_ignoring_case(name, "Name") && !headers.name) return KeptHeader::Name;
    return KeptHeader::None;
}

void add_header(MetadataHeaders& headers, KeptHeader kind, std::string_view value) {
    if (kind == KeptHeader::RequiresDist) {
        headers.requires_dist.emplace_back(text::strip(value));
    } else if (kind == KeptHeader::Name) {
        headers.name.emplace(text::strip(value));
    }
}

// One requires.txt line with the marker its section gives it.
std::string with_section_marker(std::string_view line, std::string_view section) {
    const std::size_t colon = section.find(':');
    const std::string_view extra = section.substr(0, colon);
    std::string_view condition = colon == std::string_view::npos ? std::string_view() : section.substr(colon + 1);
    std::string marker;
    if (!condition.empty() && !extra.empty()) {
        marker.append("(").append(condition).append(") and ");
    } else {
        marker.append(condition);
    }
    if (!extra.empty()) marker.append("extra == \"").append(extra).append("\"");
    std::string out(line);
    if (marker.empty()) return out;
    if (line.find('@') != std::string_view::npos) out += ' ';
    out += "; ";
    out += marker;
    return out;
}

}  // namespace

MetadataHeaders parse_metadata_headers(std::string_view text) {
    MetadataHeaders headers;
    KeptHeader kind = KeptHeader::None;  // of the open header
    std::string value;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (kind != KeptHeader::None) value += line;
            continue;
        }
        add_header(headers, kind, value);
        const std::size_t colon = line.find(':');
        kind = colon == std::string_view::npos ? KeptHeader::None : kept_header(line.substr(0, colon), headers);
        if (kind != KeptHeader::None) value.assign(line.substr(colon + 1));
    }
    add_header(headers, kind, value);
    return headers;
}

std::optional<std::string> read_metadata_headers(int directory_fd, const char* relative_path,
                                                 std::string_view shown_path) {
    return read_until(directory_fd, relative_path, shown_path, find_header_end);
}

std::optional<std::string> read_small_file(int directory_fd, const char* relative_path, std::string_view shown_path) {
    return read_until(directory_fd, relative_path, shown_path,
                      [](std::string_view, std::size_t) { return std::string_view::npos; });
}

std::vector<std::string> egg_info_requirement_lines(std::string_view requires_txt) {
    std::vector<std::string> lines;
    std::string section;
    std::size_t start = 0;
    while (start < requires_txt.size()) {
        std::size_t end = requires_txt.find('\n', start);
        if (end == std::string_view::npos) end = requires_txt.size();
        const std::string_view line = text::strip(requires_txt.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            // The section name is the text between the brackets, trimmed.
            std::string_view name = line;
            while (!name.empty() && (name.front() == '[' || name.front() == ']')) name.remove_prefix(1);
            while (!name.empty() && (name.back() == '[' || name.back() == ']')) name.remove_suffix(1);
            section = std::string(text::strip(name));
            continue;
        }
        lines.push_back(with_section_marker(line, section));
    }
    return lines;
}

}  // namespace quorl
