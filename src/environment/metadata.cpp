#include "environment/metadata.h"

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

// What was read, with what is reported about it once the reading is done.
struct HeaderRead {
    std::optional<std::string> text;  // nothing: absent, not a regular file, or failed
    int error = 0;                    // the errno value of a failed open or read; 0: none
    bool cut = false;                 // the block went on past the MAX_READ bound
};

// A failed open or read, on its way to the HeaderRead that reports it.
struct ReadFailure {
    int error;
};

// Opens for reading; -1 when the file is absent, or a path component is
// not a directory. A FIFO or a device in place of a metadata file would
// block the open or the reads for ever: O_NONBLOCK lets the open return,
// and the reads tell what it is (see read_until).
int open_if_present(int directory_fd, const char* relative_path) {
    const int fd = ::openat(directory_fd, relative_path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR) return -1;
        throw ReadFailure{errno};
    }
    return fd;
}

bool is_regular_file(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
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

HeaderRead read_text(std::string text, bool cut = false) {
    HeaderRead read;
    read.text = std::move(text);
    read.cut = cut;
    return read;
}

// Keeps the complete lines of a read that reached MAX_READ.
HeaderRead cut_at_bound(std::string buffer) {
    const std::size_t last_newline = buffer.rfind('\n');
    buffer.resize(last_newline == std::string::npos ? 0 : last_newline + 1);
    return read_text(std::move(buffer), true);
}

// Reads up to `size` bytes from `offset` into `into`, retrying interrupted
// reads. Nothing when `fd` is a directory, cannot be read at an offset (a
// FIFO, a socket, a terminal) or has nothing to give yet.
std::optional<std::size_t> read_at(int fd, char* into, std::size_t size, std::size_t offset) {
    while (true) {
        const ssize_t got = ::pread(fd, into, size, static_cast<off_t>(offset));
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EISDIR || errno == ESPIPE || errno == EAGAIN) return std::nullopt;
        if (errno != EINTR) throw ReadFailure{errno};
        signals::throw_if_interrupted();
    }
}

// Reads on after a first chunk, `buffer`, in which `stop` found no end.
template <typename StopAt>
HeaderRead read_rest(int fd, std::string buffer, StopAt stop) {
    while (true) {
        // The next scan steps back over a line end split between two chunks.
        const std::size_t scanned = buffer.size() > 2 ? buffer.size() - 2 : 0;
        const std::size_t old_size = buffer.size();
        // One byte past the bound tells a file of exactly MAX_READ bytes,
        // read whole, from a longer one.
        if (old_size > MAX_READ) return cut_at_bound(std::move(buffer));
        const std::size_t chunk = std::min(CHUNK, MAX_READ + 1 - old_size);
        buffer.resize(old_size + chunk);
        const std::optional<std::size_t> got = read_at(fd, buffer.data() + old_size, chunk, old_size);
        if (!got) return {};
        buffer.resize(old_size + *got);
        if (*got == 0) return read_text(std::move(buffer));
        const std::size_t end = stop(std::string_view(buffer), scanned);
        if (end != std::string_view::npos) {
            buffer.resize(end);
            return read_text(std::move(buffer));
        }
    }
}

// Reads until `stop(text, scanned)` finds the end, the file ends, or
// MAX_READ bytes were read. Only regular files are read, but the file is
// looked at (fstat, one more system call per file) only when its first
// read does not end the block: a FIFO, a socket or a terminal fails that
// read, and a regular file nearly always ends its block there. What gets
// past is a device that can be read at an offset and gives a blank line
// within its first CHUNK bytes; its block is read as any other, bounded.
template <typename StopAt>
HeaderRead read_until(int directory_fd, const char* relative_path, StopAt stop) {
    try {
        const FileDescriptor file(open_if_present(directory_fd, relative_path));
        if (file.get() < 0) return {};
        // Most header blocks end within the first chunk: read it onto the
        // stack and copy out only the block, at its own size. A zero-filled
        // 4 KB string cut down afterwards cost more than parsing the block.
        char first[CHUNK];
        const std::optional<std::size_t> got = read_at(file.get(), first, CHUNK, 0);
        if (!got) return {};
        const std::string_view head(first, *got);
        const std::size_t end = head.empty() ? std::string_view::npos : stop(head, 0);
        if (end != std::string_view::npos) return read_text(std::string(head.substr(0, end)));
        if (!is_regular_file(file.get())) return {};
        if (head.empty()) return read_text(std::string());
        return read_rest(file.get(), std::string(head), stop);
    } catch (const ReadFailure& failure) {
        HeaderRead read;
        read.error = failure.error;
        return read;
    }
}

// The lines of a header block, each without the CR before its line feed.
class HeaderLines {
public:
    explicit HeaderLines(std::string_view text) : text_(text) {}

    // Takes the next line; false at the empty line that ends the block and
    // at the end of the text.
    bool next(std::string_view& line) {
        if (start_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', start_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(start_, end - start_);
        start_ = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return !line.empty();
    }

    // Whether the next line continues the header before it.
    bool continues() const { return start_ < text_.size() && (text_[start_] == ' ' || text_[start_] == '\t'); }

private:
    std::string_view text_;
    std::size_t start_ = 0;
};

// How many Requires-Dist headers, as tools write them, follow one another
// from `from`, the start of the first one: the capacity to reserve. Tools
// write them in one run, so counting stops at the first other line rather
// than scanning the whole block again; a later one still fits, the vector
// then grows.
std::size_t count_requirement_run(std::string_view text, std::size_t from) {
    constexpr std::string_view header = "Requires-Dist:";
    std::size_t count = 0;
    while (from < text.size() && text.compare(from, header.size(), header) == 0) {
        ++count;
        from = text.find('\n', from + header.size());
        if (from == std::string_view::npos) break;
        ++from;
    }
    return count;
}

// The headers the tool uses; the others (Classifier, Summary, ...) are
// skipped without their values being copied.
enum class Field { Skipped, Name, Version, RequiresDist };

// `name` spelled as tools write it, or in any other case. The spelling is
// compared at its fixed length, which the compiler does inline, not
// through a call to memcmp at every Requires-Dist line.
template <std::size_t N>
bool is_header(std::string_view name, const char (&header)[N]) {
    constexpr std::size_t length = N - 1;
    if (name.size() != length) return false;
    return std::memcmp(name.data(), header, length) == 0 ||
           text::equals_ignoring_case(name, std::string_view(header, length));
}

// Whether text::strip would keep `c` at either end: every byte it strips
// is at most a space.
bool kept_by_strip(char c) { return static_cast<unsigned char>(c) > ' '; }

// A value stripped. Tools write one space after the colon and none at the
// end, so most values need only that space taken off; the others go
// through the full strip.
std::string_view stripped_value(std::string_view value) {
    if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (!value.empty() && kept_by_strip(value.front()) && kept_by_strip(value.back())) return value;
    return text::strip(value);
}

// Which field header `name` fills. Most lines are of headers the tool skips:
// the length of the name tells nearly all of them apart at once.
Field field_of(const MetadataHeaders& headers, std::string_view name) {
    switch (name.size()) {
        case 13:
            return is_header(name, "Requires-Dist") ? Field::RequiresDist : Field::Skipped;
        case 4:
            return !headers.name && is_header(name, "Name") ? Field::Name : Field::Skipped;
        case 7:
            return !headers.version && is_header(name, "Version") ? Field::Version : Field::Skipped;
        default:
            return Field::Skipped;
    }
}

// Each value is made at its own size in one step, not assigned into an
// empty string.
void store(MetadataHeaders& headers, Field field, std::string_view value) {
    switch (field) {
        case Field::RequiresDist:
            headers.requires_dist.emplace_back(value);
            break;
        case Field::Name:
            headers.name.emplace(value);
            break;
        case Field::Version:
            headers.version.emplace(value);
            break;
        case Field::Skipped:
            break;
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

std::optional<std::string> use_header_block(HeaderRead read, std::string_view shown_path) {
    if (read.error != 0) {
        throw OsError("Cannot read " + std::string(shown_path) + ": " + std::strerror(read.error));
    }
    if (read.cut) {
        log::warning(std::string(shown_path) + ": more than " + std::to_string(MAX_READ >> 20) +
                     " MiB to read; only its complete lines within the first " + std::to_string(MAX_READ >> 20) +
                     " MiB are used");
    }
    return std::move(read.text);
}

}  // namespace

MetadataHeaders parse_metadata_headers(std::string_view text) {
    MetadataHeaders headers;
    HeaderLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        // A continuation line here follows a line without ":" (or opens the
        // block): it belongs to no header.
        const std::size_t colon = line.find(':');
        if (line.front() == ' ' || line.front() == '\t' || colon == std::string_view::npos) continue;
        const Field field = field_of(headers, line.substr(0, colon));
        const bool used = field != Field::Skipped;
        if (field == Field::RequiresDist && headers.requires_dist.empty()) {
            headers.requires_dist.reserve(
                count_requirement_run(text, static_cast<std::size_t>(line.data() - text.data())));
        }
        const std::string_view first = line.substr(colon + 1);
        if (!lines.continues()) {
            // Most lines are of skipped headers: their values are not even stripped.
            if (used) store(headers, field, stripped_value(first));
            continue;
        }
        // Folded over several lines: the line breaks are dropped.
        std::string folded(used ? first : std::string_view());
        while (lines.continues() && lines.next(line)) {
            if (used) folded += line;
        }
        if (used) store(headers, field, text::strip(folded));
    }
    return headers;
}

std::optional<std::string> read_metadata_headers(int directory_fd, const char* relative_path,
                                                 std::string_view shown_path) {
    return use_header_block(read_until(directory_fd, relative_path, find_header_end), shown_path);
}

std::optional<std::string> read_small_file(int directory_fd, const char* relative_path, std::string_view shown_path) {
    const auto to_the_end = [](std::string_view, std::size_t) { return std::string_view::npos; };
    return use_header_block(read_until(directory_fd, relative_path, to_the_end), shown_path);
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

void for_each_metadata_header(std::string_view text,
                              const std::function<void(std::string_view name, std::string_view value)>& visit) {
    HeaderLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        const std::size_t colon = line.find(':');
        if (line.front() == ' ' || line.front() == '\t' || colon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, colon);
        // Most values fit on their line: only folded ones are copied.
        if (!lines.continues()) {
            visit(name, text::strip(line.substr(colon + 1)));
            continue;
        }
        std::string folded(line.substr(colon + 1));
        while (lines.continues() && lines.next(line)) folded += line;
        visit(name, text::strip(folded));
    }
}

}  // namespace quorl
