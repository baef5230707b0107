#include "python/listed_environment.h"

#include <algorithm>

#include "model/package.h"

namespace quorl {

const std::vector<Distribution>& ListedEnvironment::distributions() const {
    if (!listed_) listed_ = source_.list_distributions();
    return *listed_;
}

std::optional<Distribution> ListedEnvironment::find_distribution(std::string_view name) const {
    const std::string key = canonical_name(name);
    const std::vector<Distribution>& all = distributions();
    const auto found = std::lower_bound(all.begin(), all.end(), key,
                                        [](const Distribution& d, const std::string& k) { return d.key < k; });
    if (found == all.end() || found->key != key) return std::nullopt;
    return *found;
}

}  // namespace quorl
