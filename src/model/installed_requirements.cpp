#include "model/installed_requirements.h"

#include "support/errors.h"

namespace quorl {

std::optional<std::size_t> RequirementJudge::unmet(std::string_view target_key, const std::string& specifier) {
    const auto found = by_key_.find(target_key);
    if (found == by_key_.end()) return UnmetRequirement::NOT_INSTALLED;
    if (specifier.empty()) return std::nullopt;
    auto parsed = specifiers_.find(specifier);
    if (parsed == specifiers_.end()) {
        std::optional<SpecifierSet> set;
        try {
            set = SpecifierSet::parse(specifier);
        } catch (const ValueError&) {
            // the requirement parser admits only valid clauses
        }
        parsed = specifiers_.emplace(specifier, std::move(set)).first;
    }
    if (!parsed->second) return std::nullopt;
    const std::string& text = installed_[found->second].version;
    std::optional<std::optional<Version>>& version = versions_[found->second];
    if (!version) version = parse_version(text);
    const bool holds = *version ? parsed->second->contains(**version) : parsed->second->contains(text);
    return holds ? std::nullopt : std::optional<std::size_t>(found->second);
}

}  // namespace quorl
