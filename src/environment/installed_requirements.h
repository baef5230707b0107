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
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/package.h"
#include "pep/specifier.h"
#include "support/hash_index.h"

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

// The installed distributions found by key. A package of the dependency map
// that has no extras carries the hash of its canonical name (std::hash of the
// key), so a look-up with it hashes nothing.
class InstalledIndex {
public:
    explicit InstalledIndex(const InstalledRequirements& installed);

    static std::size_t hash_of(std::string_view key) { return std::hash<std::string_view>{}(key); }

    // The index in `installed` of the distribution `key`, if installed;
    // `hash` is hash_of(key).
    std::optional<std::size_t> find(std::string_view key, std::size_t hash) const {
        return by_key_.find(hash, [&](std::size_t i) { return installed_[i].key == key; });
    }
    std::optional<std::size_t> find(std::string_view key) const { return find(key, hash_of(key)); }
    // The same for the key of a dependency map package (extras ignored).
    std::optional<std::size_t> find(const Package& package) const {
        return find(package.name(), package.has_extras() ? hash_of(package.name()) : package.hash());
    }

private:
    const InstalledRequirements& installed_;
    HashIndex by_key_;
};

// Judges requirements against the versions of `installed`, which holds every
// installed distribution before the first requirement is judged. Parses each
// installed version and each specifier text once: environments repeat the
// same few.
class RequirementJudge {
public:
    explicit RequirementJudge(const InstalledRequirements& installed)
        : installed_(installed), index_(installed), versions_(installed.size()), verdicts_(installed.size(), 0) {}

    // Nothing when the distribution `target` names is installed at a version
    // that `specifier` admits; otherwise its index, or NOT_INSTALLED. A
    // specifier that is not valid judges nothing.
    std::optional<std::size_t> unmet(const Package& target, std::string_view specifier);

private:
    std::size_t specifier_index(std::string_view text);
    bool admits(std::size_t specifier, std::size_t target);
    bool judge(const std::optional<SpecifierSet>& set, std::size_t target);

    const InstalledRequirements& installed_;
    const InstalledIndex index_;
    std::vector<std::optional<std::optional<Version>>> versions_;  // per index, once parsed
    // Each specifier text with its set (none when it is not valid), found by
    // the text's hash.
    std::vector<std::pair<std::string, std::optional<SpecifierSet>>> specifiers_;
    HashIndex specifier_index_;
    // Environments repeat a handful of short texts (">=1.0") tens of
    // thousands of times: the first few of up to eight bytes are found by
    // comparing their bytes as one number, which costs less than hashing.
    struct ShortText {
        std::uint64_t bytes;
        std::size_t size;
        std::size_t index;  // in specifiers_
    };
    std::vector<ShortText> short_texts_;
    // Per installed distribution, the verdicts of the first KEPT specifiers
    // on its version: bit i is set once specifier i is judged, bit KEPT + i
    // when it admits the version. Many distributions require the same
    // one with the same text.
    static constexpr std::size_t KEPT = 16;
    std::vector<std::uint32_t> verdicts_;
};

}  // namespace quorl
