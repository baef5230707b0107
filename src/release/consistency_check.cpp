#include "release/consistency_check.h"

#include <algorithm>
#include <optional>

#include "model/package.h"
#include "python/requirement.h"
#include "python/specifier.h"
#include "python/version.h"
#include "support/errors.h"
#include "support/logging.h"

namespace quorl {
namespace {

// 1.0 and 1.0.0 are one version; texts that are not versions compare as text.
bool same_version(const std::string& a, const std::string& b) {
    const std::optional<Version> x = parse_version(a), y = parse_version(b);
    if (x && y) return compare_versions(*x, *y) == 0;
    return a == b;
}

bool never_pinned(const std::string& key) {
    const auto& skipped = RequirementGenerator::NO_VERSION_PACKAGES;
    return std::find(skipped.begin(), skipped.end(), key) != skipped.end();
}

std::string shown_version(const Distribution& distribution) {
    return distribution.version.empty() ? "(no version)" : distribution.version;
}

}  // namespace

ConsistencyCheck::ConsistencyCheck(const std::vector<Distribution>& installed, const MarkerEnvironment& markers)
    : markers_(markers) {
    by_key_.reserve(installed.size());
    for (const Distribution& distribution : installed) by_key_.emplace(distribution.key, &distribution);
}

void ConsistencyCheck::compare_with_pins(std::function<VersionsMap()> read_pins, std::string pins_file) {
    read_pins_ = std::move(read_pins);
    pins_file_ = std::move(pins_file);
}

bool ConsistencyCheck::read_pins() {
    if (read_pins_) {
        const std::function<VersionsMap()> read = std::move(read_pins_);
        read_pins_ = nullptr;
        try {
            for (const auto& [name, version] : read()) pins_.emplace(canonical_name(name), version);
            has_pins_ = true;
        } catch (const QuorlError& unreadable) {
            warn("Installed versions are not compared with pins: " + std::string(unreadable.what()));
        }
    }
    return has_pins_;
}

void ConsistencyCheck::check_reached(std::string_view name) {
    std::string key = canonical_name(name);
    const auto found = by_key_.find(key);
    if (found == by_key_.end() || !checked_.insert(std::move(key)).second) return;
    if (read_pins()) check_pin(*found->second);
    check_requirements(*found->second);
}

void ConsistencyCheck::check_pin(const Distribution& distribution) {
    if (never_pinned(distribution.key)) return;
    const auto pinned = pins_.find(distribution.key);
    if (pinned == pins_.end()) {
        warn(distribution.key + " " + shown_version(distribution) + " is installed, but " + pins_file_ +
             " does not pin it");
    } else if (!same_version(distribution.version, pinned->second)) {
        warn(distribution.key + " is installed at " + shown_version(distribution) + ", but " + pins_file_ +
             " pins " + pinned->second);
    }
}

void ConsistencyCheck::check_requirements(const Distribution& distribution) {
    for (const std::string& line : distribution.requirement_lines) {
        Requirement requirement;
        SpecifierSet specifier;
        try {
            requirement = parse_requirement(line);
            specifier = SpecifierSet::parse(requirement.specifier);
        } catch (const ValueError&) {
            continue;  // reading the environment's map reports the lines it cannot use
        }
        // What is installed for the distribution itself, without any extra.
        if (requirement.marker && !requirement.marker->evaluate(markers_, "")) continue;
        const std::string requirer = distribution.key + " " + shown_version(distribution) + " requires " + line;
        const auto target = by_key_.find(canonical_name(requirement.name));
        if (target == by_key_.end()) {
            warn(requirer + ", which is not installed");
        } else if (!specifier.contains(target->second->version)) {
            warn(requirer + ", but " + target->second->key + " " + shown_version(*target->second) + " is installed");
        }
    }
}

void ConsistencyCheck::warn(const std::string& message) {
    ++warnings_;
    log::warning(message);
}

void ConsistencyCheck::enforce(bool strict, std::string_view nothing_done) const {
    if (!strict || warnings_ == 0) return;
    throw QuorlError(std::to_string(warnings_) + (warnings_ == 1 ? " consistency warning" : " consistency warnings") +
                     " with --strict: " + std::string(nothing_done));
}

}  // namespace quorl
