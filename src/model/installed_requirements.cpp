#include "model/installed_requirements.h"

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

const std::optional<SpecifierSet>& RequirementJudge::specifier_set(std::string_view text) {
    constexpr std::size_t SHORT = sizeof(std::uint64_t), SHORT_TEXTS = 16;
    const bool short_text = text.size() <= SHORT;
    const std::uint64_t bytes = short_text ? short_text_bytes(text) : 0;
    if (short_text) {
        for (const ShortText& known : short_texts_) {
            if (known.bytes == bytes && known.size == text.size()) return specifiers_[known.index].second;
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
    return specifiers_[*found].second;
}

std::optional<std::size_t> RequirementJudge::unmet(const Package& target, std::string_view specifier) {
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
