// What the installed environment says beyond its graph: each distribution's
// version, and the requirements the environment does not meet, judged as an
// installer's own check of an environment judges them: only requirements
// installed for the distribution itself (no marker, or one that holds
// without an extra); the required distribution must be installed, at a
// version its specifier admits, pre-releases included. Filled while the
// dependency map is read, so that nothing is listed or parsed twice, and
// only what fails is kept.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "python/specifier.h"

namespace quorl {

struct UnmetRequirement {
    static constexpr std::size_t NOT_INSTALLED = static_cast<std::size_t>(-1);

    std::string line;    // as the metadata writes it
    std::size_t target;  // index of the required distribution, or NOT_INSTALLED
};

struct InstalledDistribution {
    std::string key;      // canonical name
    std::string version;  // as the metadata writes it; empty when absent
    std::vector<UnmetRequirement> unmet;
};

// In the order of the environment's listing (sorted by key).
using InstalledRequirements = std::vector<InstalledDistribution>;

// Judges requirements against the versions of `installed`, found through
// `by_key` (key -> index). Parses each installed version and each specifier
// text once: environments repeat the same few.
class RequirementJudge {
public:
    RequirementJudge(const InstalledRequirements& installed,
                     const std::unordered_map<std::string_view, std::size_t>& by_key)
        : installed_(installed), by_key_(by_key), versions_(installed.size()) {}

    // Nothing when the distribution `target_key` is installed at a version
    // that `specifier` admits; otherwise its index, or NOT_INSTALLED. A
    // specifier that is not valid judges nothing.
    std::optional<std::size_t> unmet(std::string_view target_key, const std::string& specifier);

private:
    const InstalledRequirements& installed_;
    const std::unordered_map<std::string_view, std::size_t>& by_key_;
    std::vector<std::optional<std::optional<Version>>> versions_;  // per index, once parsed
    std::unordered_map<std::string, std::optional<SpecifierSet>> specifiers_;
};

}  // namespace quorl
