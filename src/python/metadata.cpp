#include "python/metadata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/errors.h"
#include "support/file_descriptor.h"
#include "support/logging.h"
#include "support/signals.h"
#include "support/text.h"

namespace quorl {
namespace {

// Large enough for the header block of almost every METADATA file in one read.
constexpr std::size_t CHUNK = 4096;

// Real header blocks and requires.txt files stay far below this, even with
// a long description written as a header; a broken or hostile file (a
// sparse file of gigabytes without a blank line) must not be read whole.
constexpr std::size_t MAX_READ = std::size_t{4} << 20;

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

// Keeps the complete lines of a read that reached MAX_READ, and says so.
std::string cut_at_bound(std::string buffer, std::string_view shown_path) {
    const std::size_t last_newline = buffer.rfind('\n');
    buffer.resize(last_newline == std::string::npos ? 0 : last_newline + 1);
    log::warning(std::string(shown_path) + ": more than " + std::to_string(MAX_READ >> 20) +
                 " MiB to read; only its complete lines within the first " + std::to_string(MAX_READ >> 20) +
                 " MiB are used");
    return buffer;
}

// Reads until `stop(buffer, scanned)` finds the end, the file ends, or
// MAX_READ bytes were read.
template <typename StopAt>
std::optional<std::string> read_until(int directory_fd, const char* relative_path, std::string_view shown_path,
                                      StopAt stop) {
    const FileDescriptor file(open_if_present(directory_fd, relative_path, shown_path));
    if (file.get() < 0) return std::nullopt;
    std::string buffer;
    std::size_t scanned = 0;
    while (true) {
        const std::size_t old_size = buffer.size();
        // One byte past the bound tells a file of exactly MAX_READ bytes,
        // read whole, from a longer one.
        if (old_size > MAX_READ) return cut_at_bound(std::move(buffer), shown_path);
        const std::size_t chunk = std::min(CHUNK, MAX_READ + 1 - old_size);
        buffer.resize(old_size + chunk);
        const ssize_t got = ::read(file.get(), buffer.data() + old_size, chunk);
        if (got < 0) {
            if (errno == EINTR) {
                buffer.resize(old_size);
                signals::throw_if_interrupted();
                continue;
            }
            if (errno == EISDIR) return std::nullopt;
            throw_read_error(shown_path, errno);
        }
        buffer.resize(old_size + static_cast<std::size_t>(got));
        if (got == 0) return buffer;
        const std::size_t end = stop(std::string_view(buffer), scanned);
        if (end != std::string_view::npos) {
            buffer.resize(end);
            return buffer;
        }
        // The next scan steps back over a line end split between two chunks.
        scanned = buffer.size() > 2 ? buffer.size() - 2 : 0;
    }
}

void add_header(MetadataHeaders& headers, std::string_view name, std::string value) {
    if (text::equals_ignoring_case(name, "Requires-Dist")) {
        headers.requires_dist.push_back(std::move(value));
    } else if (text::equals_ignoring_case(name, "Name") && !headers.name) {
        headers.name = std::move(value);
    } else if (text::equals_ignoring_case(name, "Version") && !headers.version) {
        headers.version = std::move(value);
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
    std::string_view name;
    std::string value;
    bool open = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (open) value += line;
            continue;
        }
        if (open) add_header(headers, name, std::string(text::strip(value)));
        const std::size_t colon = line.find(':');
        open = colon != std::string_view::npos;
        if (!open) continue;
        name = line.substr(0, colon);
        value.assign(line.substr(colon + 1));
    }
    if (open) add_header(headers, name, std::string(text::strip(value)));
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
