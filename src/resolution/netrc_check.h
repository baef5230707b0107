// Making sure that pip reads the private netrc as it is meant: pip reads it
// with the netrc module of the environment's Python, which rejects a whole
// file for one entry it does not know (git's credential helper writes a
// "protocol" token) and, before Python 3.11, keeps the quotes of a quoted
// token.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "resolution/netrc_file.h"

namespace quorl {

// Writes the file for pip and pip-compile at `path` with `write` (which
// replaces what an earlier call wrote): the first of these that `python`'s
// netrc module reads with every entry exactly: `users` and the entries with
// quoted tokens, then with bare tokens; then the same without the user's
// netrc, which is left out with one warning per run naming it and why.
// Throws QuorlError naming the host when an entry cannot be read back
// exactly in any form (a carriage return in a password becomes a newline).
// Where the interpreter cannot be run for the check, the first form stays.
void write_checked_netrc(const std::filesystem::path& python, const std::filesystem::path& path,
                         const UsersNetrc& users, const std::vector<NetrcEntry>& entries,
                         const std::function<void(std::string_view)>& write);

}  // namespace quorl
