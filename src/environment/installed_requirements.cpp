#include "environment/installed_requirements.h"

#include <cstring>

#include "support/errors.h"

namespace quorl {

InstalledIndex::InstalledIndex(const InstalledRequirements& installed) : installed_(installed) {
    by_key_.reserve(installed.size());
    for (std::size_t i = 0; i < installed.size(); ++i) by_key_.insert(hash_of(installed[i].key), i);
}

namespace {

// The bytes of a text of at most eight bytes as one number; with the size,
// it tells such texts apart.
std::uint64_t short_text_bytes(std::string_view text) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, text.data(), text.size());
    return bytes;
}

}  // namespace

std::size_t RequirementJudge::specifier_index(std::string_view text) {
    constexpr std::size_t SHORT = sizeof(std::uint64_t), SHORT_TEXTS = 16;
    const bool short_text = text.size() <= SHORT;
    const std::uint64_t bytes = short_text ? short_text_bytes(text) : 0;
    if (short_text) {
        for (const ShortText& known : short_texts_) {
            if (known.bytes == bytes && known.size == text.size()) return known.index;
        }
    }
    const std::size_t hash = std::hash<std::string_view>{}(text);
    std::optional<std::size_t> found =
        specifier_index_.find(hash, [&](std::size_t i) { return specifiers_[i].first == text; });
    if (!found) {
        std::optional<SpecifierSet> set;
        try {
            set = SpecifierSet::parse(text);
        } catch (const ValueError&) {
            // the requirement parser admits only valid clauses
        }
        found = specifiers_.size();
        specifier_index_.insert(hash, *found);
        specifiers_.emplace_back(std::string(text), std::move(set));
    }
    if (short_text && short_texts_.size() < SHORT_TEXTS) short_texts_.push_back({bytes, text.size(), *found});
    return *found;
}

bool RequirementJudge::judge(const std::optional<SpecifierSet>& set, std::size_t target) {
    if (!set) return true;
    const std::string& text = installed_[target].version;
    std::optional<std::optional<Version>>& version = versions_[target];
    if (!version) version = parse_version(text);
    return *version ? set->contains(**version) : set->contains(text);
}

bool RequirementJudge::admits(std::size_t specifier, std::size_t target) {
    std::uint32_t& kept = verdicts_[target];
    if (specifier < KEPT && (kept >> specifier & 1u) != 0) return (kept >> (KEPT + specifier) & 1u) != 0;
    const bool holds = judge(specifiers_[specifier].second, target);
    if (specifier < KEPT) kept |= (1u << specifier) | (static_cast<std::uint32_t>(holds) << (KEPT + specifier));
    return holds;
}

std::optional<std::size_t> RequirementJudge::unmet(const Package& target, std::string_view specifier) {
    const std::optional<std::size_t> found = index_.find(target);
    if (!found) return UnmetRequirement::NOT_INSTALLED;
    if (specifier.empty()) return std::nullopt;
    return admits(specifier_index(specifier), *found) ? std::nullopt : found;
}

}  // namespace quorl
