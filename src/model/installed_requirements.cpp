#include "model/installed_requirements.h"

#include "support/errors.h"

namespace quorl {

InstalledIndex::InstalledIndex(const InstalledRequirements& installed) : installed_(installed) {
    by_key_.reserve(installed.size());
    for (std::size_t i = 0; i < installed.size(); ++i) by_key_.insert(hash_of(installed[i].key), i);
}

const std::optional<SpecifierSet>& RequirementJudge::specifier_set(const std::string& text) {
    constexpr std::size_t FREQUENT = 8;
    for (const auto& [seen, set] : frequent_) {
        if (*seen == text) return *set;
    }
    auto parsed = specifiers_.find(text);
    if (parsed == specifiers_.end()) {
        std::optional<SpecifierSet> set;
        try {
            set = SpecifierSet::parse(text);
        } catch (const ValueError&) {
            // the requirement parser admits only valid clauses
        }
        parsed = specifiers_.emplace(text, std::move(set)).first;
        // The map's nodes stay where they are: the pointers hold.
        if (frequent_.size() < FREQUENT) frequent_.emplace_back(&parsed->first, &parsed->second);
    }
    return parsed->second;
}

std::optional<std::size_t> RequirementJudge::unmet(const Package& target, const std::string& specifier) {
    const std::optional<std::size_t> found = index_.find(target);
    if (!found) return UnmetRequirement::NOT_INSTALLED;
    if (specifier.empty()) return std::nullopt;
    const std::optional<SpecifierSet>& set = specifier_set(specifier);
    if (!set) return std::nullopt;
    const std::string& text = installed_[*found].version;
    std::optional<std::optional<Version>>& version = versions_[*found];
    if (!version) version = parse_version(text);
    const bool holds = *version ? set->contains(**version) : set->contains(text);
    return holds ? std::nullopt : found;
}

}  // namespace quorl
