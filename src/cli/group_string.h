// Group strings of the command line: "<name>:<req1>,<req2>,<...>".
#pragma once

#include <filesystem>
#include <string_view>

#include "groups/group_input.h"

namespace quorl::cli {

// Parses a string of the form '<name>:<req1>,<req2>,<...>' into a GroupInput.
// Exactly one ":"; the list is split at every ","; the name and every piece
// are stripped of white space; empty pieces stay. Throws ValueError
// "not enough values to unpack (expected 2, got 1)" without a colon and
// "too many values to unpack (expected 2)" with more than one.
GroupInput parse_group_str(const std::filesystem::path& requirements_path, std::string_view group_str);

}  // namespace quorl::cli
