#include "resolution/index_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

#include "environment/interpreter_discovery.h"
#include "resolution/netrc_check.h"
#include "resolution/netrc_file.h"
#include "support/errors.h"
#include "support/file_descriptor.h"
#include "support/logging.h"
#include "support/redact.h"
#include "support/url_credentials.h"

namespace quorl {
namespace {

// Creates `path` (it must not exist) readable by its owner only.
void write_private_file(const std::filesystem::path& path, std::string_view content) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    int error = file.is_open() ? write_all(file.get(), content) : errno;
    if (error == 0) error = file.close();
    if (error != 0) throw OsError("cannot write '" + path.string() + "': " + std::strerror(error));
}

// Adds the credentials of one URL, unless its host has some already. A URL
// without host has nowhere to send them, and an entry without machine name
// would make pip's reader reject the whole file.
void add_entry(std::vector<NetrcEntry>& entries, const UrlCredentials& found) {
    if (found.host.empty()) return;
    for (const NetrcEntry& entry : entries) {
        if (entry.machine != found.host) continue;
        if (entry.login != found.login || entry.password != found.password) {
            log::warning("index URLs of host " + found.host +
                         " carry different credentials: pip gets only those of the first one");
        }
        return;
    }
    entries.push_back({found.host, found.login, found.password});
}

}  // namespace

IndexAccess::IndexAccess(const std::vector<std::string>& index_urls) {
    std::vector<NetrcEntry> entries;
    for (const std::string& url : index_urls) {
        remember_url_secrets(url);
        const std::optional<UrlCredentials> found = url_credentials(url);
        urls_.push_back(found ? found->url_without_credentials : url);
        if (found) add_entry(entries, *found);
    }
    if (entries.empty()) return;
    directory_ = std::make_unique<TemporaryDirectory>("quorl-netrc");
    const std::filesystem::path netrc = directory_->path() / "netrc";
    // Each form the check tries replaces the previous one.
    write_checked_netrc(find_python_interpreter(), netrc, users_netrc(), entries, [&netrc](std::string_view text) {
        std::error_code ignored;
        std::filesystem::remove(netrc, ignored);
        write_private_file(netrc, text);
    });
    environment_.emplace_back("NETRC", netrc.string());
    std::string hosts;
    for (const NetrcEntry& entry : entries) hosts += (hosts.empty() ? "" : ", ") + entry.machine;
    log::debug("Credentials of " + hosts + " reach pip through " + netrc.string());
}

std::vector<std::string> pip_index_options(const std::vector<std::string>& extra_index_urls,
                                           const std::vector<std::string>& trusted_domains) {
    std::vector<std::string> options;
    for (const std::string& url : extra_index_urls) options.insert(options.end(), {"--extra-index-url", url});
    for (const std::string& host : trusted_domains) options.insert(options.end(), {"--trusted-host", host});
    return options;
}

}  // namespace quorl
