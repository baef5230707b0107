#include "checks/consistency_check.h"

#include <algorithm>
#include <optional>

#include "model/package.h"
#include "pep/canonical_name.h"
#include "pep/version.h"
#include "support/errors.h"
#include "support/logging.h"

namespace quorl {
namespace {

// 1.0 and 1.0.0 are one version; texts that are not versions compare as text.
bool same_version(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const std::optional<Version> x = parse_version(a), y = parse_version(b);
    if (x && y) return compare_versions(*x, *y) == 0;
    return a == b;
}

bool never_pinned(const std::string& key) {
    const auto& skipped = RequirementGenerator::NO_VERSION_PACKAGES;
    return std::find(skipped.begin(), skipped.end(), key) != skipped.end();
}

std::string_view shown_version(const InstalledDistribution& distribution) {
    return distribution.version.empty() ? std::string_view("(no version)") : std::string_view(distribution.version);
}

}  // namespace

ConsistencyCheck::ConsistencyCheck(const InstalledRequirements& installed)
    : installed_(installed), index_(installed), checked_(installed.size(), 0) {}

const InstalledDistribution* ConsistencyCheck::at(std::optional<std::size_t> index) const {
    return index ? &installed_[*index] : nullptr;
}

const InstalledDistribution* ConsistencyCheck::find(std::string_view name) const {
    // Names from the dependency map are canonical already: spare the copy.
    if (const InstalledDistribution* found = at(index_.find(name))) return found;
    return at(index_.find(canonical_name(name)));
}

void ConsistencyCheck::compare_with_pins(std::function<VersionsMap()> read_pins, std::string pins_file) {
    read_pins_ = std::move(read_pins);
    pins_file_ = std::move(pins_file);
}

void ConsistencyCheck::compare_with_pins(const VersionsMap& pins, std::string pins_file) {
    pins_ = &pins;
    pins_file_ = std::move(pins_file);
}

bool ConsistencyCheck::read_pins() {
    if (read_pins_) {
        const std::function<VersionsMap()> read = std::move(read_pins_);
        read_pins_ = nullptr;
        try {
            read_ = read();
            pins_ = &*read_;
        } catch (const QuorlError& unreadable) {
            warn("Installed versions are not compared with pins: " + std::string(unreadable.what()));
        }
    }
    return pins_ != nullptr;
}

const std::string* ConsistencyCheck::pinned_version(const std::string& key) {
    if (const std::string* version = pins_->find(key)) return version;
    if (pins_by_canonical_name_.empty()) {
        for (const auto& [name, version] : *pins_) pins_by_canonical_name_.emplace(canonical_name(name), &version);
    }
    const auto found = pins_by_canonical_name_.find(key);
    return found == pins_by_canonical_name_.end() ? nullptr : found->second;
}

void ConsistencyCheck::check_reached(std::string_view name) { check(find(name)); }

void ConsistencyCheck::check_reached(const Package& package) {
    // Groups reach tens of thousands of packages, most of them many times:
    // the look-up by package spares hashing the name. Should a package's
    // hash ever be made another way, the look-up by name still finds it.
    const InstalledDistribution* found = package.has_extras() ? nullptr : at(index_.find(package));
    check(found ? found : find(package.name()));
}

void ConsistencyCheck::check(const InstalledDistribution* distribution) {
    if (distribution == nullptr) return;
    char& checked = checked_[static_cast<std::size_t>(distribution - installed_.data())];
    if (checked) return;
    checked = 1;
    if (read_pins()) check_pin(*distribution);
    check_requirements(*distribution);
}

void ConsistencyCheck::check_pin(const InstalledDistribution& distribution) {
    if (never_pinned(distribution.key)) return;
    const std::string* pinned = pinned_version(distribution.key);
    if (pinned == nullptr) {
        warn(distribution.key + " " + std::string(shown_version(distribution)) + " is installed, but " + pins_file_ +
             " does not pin it");
    } else if (!same_version(distribution.version, *pinned)) {
        warn(distribution.key + " is installed at " + std::string(shown_version(distribution)) + ", but " + pins_file_ +
             " pins " + *pinned);
    }
}

void ConsistencyCheck::check_requirements(const InstalledDistribution& distribution) {
    if (distribution.unmet.empty()) return;
    // Environments with one broken requirement often have thousands: each
    // message is built in one string kept for the next rather than from
    // temporaries.
    std::string& message = message_;
    for (const UnmetRequirement& requirement : distribution.unmet) {
        message.assign(distribution.key);
        message += ' ';
        message += shown_version(distribution);
        message += " requires ";
        message += requirement.line;
        if (requirement.target == UnmetRequirement::NOT_INSTALLED) {
            message += ", which is not installed";
        } else {
            const InstalledDistribution& target = installed_[requirement.target];
            message += ", but ";
            message += target.key;
            message += ' ';
            message += shown_version(target);
            message += " is installed";
        }
        warn(message);
    }
}

void ConsistencyCheck::warn(const std::string& message) {
    ++warnings_;
    batch_.add(message);
}

void ConsistencyCheck::enforce(bool strict, std::string_view nothing_done) {
    batch_.flush();
    if (!strict || warnings_ == 0) return;
    throw QuorlError(std::to_string(warnings_) + (warnings_ == 1 ? " consistency warning" : " consistency warnings") +
                     " with --strict: " + std::string(nothing_done));
}

}  // namespace quorl
