// Path names as Python's pure paths read them, without touching the file
// system: empty and "." components do not count, so "out/x/" names x and its
// parent is out. The names the tool prints and the place a file lands follow
// this reading; std::filesystem would see an empty file name in "out/x/".
#pragma once

#include <filesystem>
#include <string>

namespace quorl::pure_path {

// The last component; empty for a root or a path without components
// ("", ".", "/").
std::string name(const std::filesystem::path& path);

// The path without its last component: "." for a single relative component,
// the path itself when it has no component ("/", ".").
std::filesystem::path parent(const std::filesystem::path& path);

// `base` joined with `tail`: "." and empty components vanish, an absolute
// `tail` restarts the path, and nothing left means ".".
std::filesystem::path join(const std::filesystem::path& base, const std::filesystem::path& tail);

}  // namespace quorl::pure_path
