// The netrc file through which pip gets index credentials. pip reads it with
// Python's netrc module: tokens are separated by white space, a token in
// double quotes may hold white space, and a backslash takes the next
// character as it is; of two entries for one machine the later one counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorl {

struct NetrcEntry {
    std::string machine;  // host name without port, as pip looks it up
    std::string login;
    std::string password;
};

struct UsersNetrc {
    std::string path;  // empty when there is none
    std::string text;
};

// The user's own netrc, as pip would find it: the file $NETRC names (only
// that one, when it is set), else ~/.netrc, else ~/_netrc. Empty when there
// is none; one warning and empty when it cannot be read or exceeds 1 MiB.
UsersNetrc users_netrc();

// How the entries' tokens are written. Python 3.11 and later read a token
// in double quotes (with `"` and `\` escaped) back exactly, white space
// included; older Pythons take the quotes as part of the token, and read
// only bare tokens of printable ASCII without quotes back exactly.
enum class NetrcTokens { Quoted, Bare };

// `users_own` followed by one line per entry, so that the entries win over
// the user's for the same machine and the user's other machines keep
// working.
std::string merged_netrc(std::string_view users_own, const std::vector<NetrcEntry>& entries,
                         NetrcTokens tokens = NetrcTokens::Quoted);

}  // namespace quorl
