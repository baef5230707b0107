#include "environment/declared_requirement.h"

#include "pep/canonical_name.h"
#include "pep/requirement.h"
#include "pep/scanner.h"
#include "support/errors.h"

namespace quorl {

DeclaredRequirement DeclaredRequirementReader::read(std::string_view line, const Distribution& distribution,
                                                    std::string* specifier) {
    std::optional<RequirementHead> head = parse_requirement_head(line);
    const MarkerVerdict* verdict = nullptr;
    if (head && head->marker_text) verdict = verdict_of_text(*head->marker_text);
    if (!head || (head->marker_text && verdict == nullptr)) {
        // Throws the error that names the line, the distribution and its metadata.
        parse_requirement_of(line, distribution.name, distribution.location);
        throw AssertionError();  // the head failed, so the whole line does
    }
    Requirement& requirement = head->requirement;
    if (specifier) *specifier = std::move(requirement.specifier);
    return declared(requirement.name, std::move(requirement.extras), verdict);
}

DeclaredRequirement DeclaredRequirementReader::declared(std::string_view name, std::vector<std::string> extras,
                                                        const MarkerVerdict* verdict) {
    const bool direct = verdict == nullptr || verdict->direct;
    const MarkerVerdict* extras_marker = verdict != nullptr && !verdict->extras.empty() ? verdict : nullptr;
    if (!extras.empty()) {
        name_.assign(name);
        make_canonical(name_);
        return {Package::from_canonical_name(name_, std::move(extras)), direct, extras_marker};
    }
    // Keyed by the name as written: most lines spell a name as the lines
    // before them did, and then it need not be made canonical again.
    const std::size_t hash = std::hash<std::string_view>{}(name);
    std::optional<std::size_t> found =
        package_index_.find(hash, [&](std::size_t i) { return packages_[i].first == name; });
    if (!found) {
        name_.assign(name);
        make_canonical(name_);
        found = packages_.size();
        packages_.emplace_back(std::string(name), Package::from_canonical_name(name_));
        package_index_.insert(hash, *found);
    }
    return {packages_[*found].second, direct, extras_marker};
}

// Null when the text is not a valid marker.
const MarkerVerdict* DeclaredRequirementReader::verdict_of_text(std::string_view text) {
    if (auto found = verdicts_.find(text); found != verdicts_.end()) return &found->second;
    Scanner scanner(text);
    try {
        const Marker marker = Marker::parse_rest(scanner);
        return &verdicts_.emplace(std::string(text), judge(marker)).first->second;
    } catch (const SyntaxFailure&) {
        return nullptr;
    }
}

MarkerVerdict DeclaredRequirementReader::judge(const Marker& marker) const {
    MarkerVerdict verdict;
    verdict.direct = marker.evaluate(environment_, "");
    for (std::string& extra : marker.extra_names()) {
        const bool holds = marker.evaluate(environment_, extra);
        verdict.extras.push_back({std::move(extra), holds});
    }
    return verdict;
}

}  // namespace quorl
