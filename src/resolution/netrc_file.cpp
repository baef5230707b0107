#include "resolution/netrc_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "support/errors.h"
#include "support/files.h"
#include "support/logging.h"

namespace quorl {
namespace {

constexpr std::size_t MAX_NETRC_BYTES = 1 << 20;

std::optional<std::filesystem::path> home_directory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> users_netrc_path() {
    std::error_code ignored;
    if (const char* named = std::getenv("NETRC"); named != nullptr) {
        if (std::filesystem::exists(named, ignored)) return named;
        return std::nullopt;
    }
    const std::optional<std::filesystem::path> home = home_directory();
    if (!home) return std::nullopt;
    for (const char* name : {".netrc", "_netrc"}) {
        if (std::filesystem::exists(*home / name, ignored)) return *home / name;
    }
    return std::nullopt;
}

// A token Python's netrc reader gives back exactly: quoted, with the quote
// and the backslash escaped.
std::string netrc_token(std::string_view token, NetrcTokens tokens) {
    if (tokens == NetrcTokens::Bare) return std::string(token);
    std::string out = "\"";
    for (const char c : token) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

UsersNetrc users_netrc() {
    const std::optional<std::filesystem::path> path = users_netrc_path();
    if (!path) return {};
    try {
        return {path->string(), files::read(*path, MAX_NETRC_BYTES)};
    } catch (const OsError& error) {
        log::warning(std::string(error.what()) + ": its entries do not reach pip in this run");
        return {};
    }
}

std::string merged_netrc(std::string_view users_own, const std::vector<NetrcEntry>& entries, NetrcTokens tokens) {
    std::string text(users_own);
    // A blank line ends a macro definition the user's file may leave open.
    if (!text.empty()) text += text.back() == '\n' ? "\n" : "\n\n";
    for (const NetrcEntry& entry : entries) {
        text += "machine " + netrc_token(entry.machine, tokens);
        // A bare empty token is no token: an absent one reads back as empty.
        if (tokens == NetrcTokens::Quoted || !entry.login.empty()) text += " login " + netrc_token(entry.login, tokens);
        if (tokens == NetrcTokens::Quoted || !entry.password.empty()) {
            text += " password " + netrc_token(entry.password, tokens);
        }
        text += "\n";
    }
    return text;
}

}  // namespace quorl
