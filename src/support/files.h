// Reading and writing whole files. Errors are OsError naming the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quorl::files {

// True for a regular file this process may execute.
bool is_executable(const std::filesystem::path& path);

// The whole content of a regular file, as bytes. A file longer than
// `max_bytes` is an OsError naming the path and the bound.
std::string read(const std::filesystem::path& path, std::size_t max_bytes = SIZE_MAX);

// Replaces the file at `path` with `content` atomically: the bytes go into a
// temporary file in the same directory, which is flushed and renamed over the
// target. On any failure the previous file is left as it was and the
// temporary file is removed.
void replace_atomically(const std::filesystem::path& path, std::string_view content);

}  // namespace quorl::files
