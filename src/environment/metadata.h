// The parts of installed-distribution metadata the tool reads: the header
// block of METADATA / PKG-INFO (Name, Version, Requires-Dist) and the requires.txt of
// an egg-info directory.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

struct MetadataHeaders {
    std::optional<std::string> name;         // the first Name header
    std::optional<std::string> version;      // the first Version header
    std::vector<std::string> requires_dist;  // every Requires-Dist, in order
};

// Parses an RFC 822 style header block: it ends at the first empty line;
// header names compare case-insensitively; a line starting with a space or a
// tab continues the previous header (the line break is dropped, the white
// space kept); values are stripped. Lines without ":" are ignored, as are
// CR characters before a line feed. Bytes are kept as they are (UTF-8).
MetadataHeaders parse_metadata_headers(std::string_view text);

// Every header of such a block, by the same rules, as `visit(name, value)`
// in order: the name as written, the value folded and stripped. For the
// headers the dependency graph does not need (Summary, License, ...).
void for_each_metadata_header(std::string_view text,
                              const std::function<void(std::string_view name, std::string_view value)>& visit);

// Reads the header block of the metadata file `relative_path` below the
// directory open as `directory_fd` (AT_FDCWD for the current directory):
// reads in chunks and stops after the first empty line, so the long
// description body of METADATA is not read. At most 4 MiB are read: past
// that, the complete lines read so far count and a warning names the file.
// Returns nothing when the file does not exist or is not a regular file (a
// device that can be read at an offset and gives a blank line within its
// first 4 KiB is read as a file, bounded alike); throws OsError naming
// `shown_path` on other read failures.
std::optional<std::string> read_metadata_headers(int directory_fd, const char* relative_path,
                                                 std::string_view shown_path);

// Reads a whole small file below `directory_fd` (requires.txt), bounded as
// above; nothing when it does not exist. Throws OsError naming `shown_path` on other failures.
std::optional<std::string> read_small_file(int directory_fd, const char* relative_path, std::string_view shown_path);

// Converts the sections of an egg-info requires.txt into requirement lines
// with markers: lines before any section stay as they are; under "[x]" a line
// gains `; extra == "x"`; under "[:m]" it gains `; m`; under "[x:m]" it gains
// `; (m) and extra == "x"`. A line holding "@" (a URL requirement) gets a space
// before its ";". Blank lines and lines starting with "#" are skipped.
std::vector<std::string> egg_info_requirement_lines(std::string_view requires_txt);

}  // namespace quorl
