// How pip and pip-compile reach the package indexes without a password on
// their command line, where every local user can read it: the index URLs
// lose their user-info, and the credentials go into a private netrc file
// (merged with the user's own) that the child finds through NETRC.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/temporary_directory.h"

namespace quorl {

class IndexAccess {
public:
    // Reads the credentials of `index_urls` (see url_credentials) and, when
    // any URL has some, writes the netrc file (mode 0600, in a private
    // temporary directory removed with this object). Of two URLs of one host
    // with different credentials the first counts (netrc names hosts, not
    // ports), with a warning. The file is the one write_checked_netrc settles
    // on for find_python_interpreter(). Throws OsError when the file cannot
    // be written, QuorlError when credentials cannot be carried by it.
    explicit IndexAccess(const std::vector<std::string>& index_urls);

    // The index URLs without user-info, in the given order.
    const std::vector<std::string>& urls() const { return urls_; }
    // NETRC=<the private file> when there are credentials, else nothing.
    const std::vector<std::pair<std::string, std::string>>& environment() const { return environment_; }

private:
    std::vector<std::string> urls_;
    std::unique_ptr<TemporaryDirectory> directory_;
    std::vector<std::pair<std::string, std::string>> environment_;
};

// pip's index options: an "--extra-index-url" pair per URL, then a
// "--trusted-host" pair per host, in the given order.
std::vector<std::string> pip_index_options(const std::vector<std::string>& extra_index_urls,
                                           const std::vector<std::string>& trusted_domains);

}  // namespace quorl
