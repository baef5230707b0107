// Reading pinned requirements files back and pinning groups with them.
#include "resolution/pinned_requirements.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "model/package.h"
#include "pep/canonical_name.h"
#include "resolution/requirement_generator.h"
#include "resolution/requirement_line.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/redact.h"
#include "support/text.h"

namespace quorl {
namespace {

bool has_no_version(const std::string& name) {
    const auto& skipped = RequirementGenerator::NO_VERSION_PACKAGES;
    return std::find(skipped.begin(), skipped.end(), name) != skipped.end();
}

// The normal form of one line that is not a plain pin; the error of a line
// that is not a requirement names the file and the line.
std::string normalised_entry(const std::filesystem::path& file, std::string_view line, std::size_t line_number) {
    try {
        return normalise_requirement(line);
    } catch (const ValueError& error) {
        // Option lines may carry index URLs with credentials.
        throw ValueError(
            redact_credentials(file.string() + ", line " + std::to_string(line_number) + ": " + error.what()));
    }
}

// Sets the version an entry pins under its base name.
void set_pinned_version(VersionsMap& versions, const std::string& entry) {
    if (entry.find("==") == std::string::npos) {
        throw ValueError(redact_credentials("Requirement " + entry + " is not pinned"));
    }
    const std::vector<std::string> parts = text::split(entry, "==");
    if (parts.size() != 2) throw ValueError("too many values to unpack (expected 2)");
    versions.set(Package::from_string(parts[0]).name(), parts[1]);
}

// A plain pin whose name normalising changes; out of line, as the reader's
// loop has little room and such names are few.
[[gnu::noinline]] void set_normalised_pin(VersionsMap& versions, const PlainPin& pin) {
    versions.set(Package::normalise_name(pin.name), std::string(pin.version));
}

// Room for the entries of `content` up front, so that the map seldom grows
// while the file is read: a resolved file holds about one entry a line, at
// about SHORT_LINE bytes a short pin ("name==1.2.3"). Estimated from the
// size, as counting the lines would cost a pass over the file; a file of
// shorter lines only grows the map once or twice. Capped, so that a large
// file of comments reserves little.
std::size_t expected_entries(std::string_view content) {
    constexpr std::size_t SHORT_LINE = 16;
    constexpr std::size_t MOST_RESERVED = std::size_t{1} << 16;
    return std::min(content.size() / SHORT_LINE + 1, MOST_RESERVED);
}

}  // namespace

const std::string* PinnedVersionLookup::find(const std::string& name) {
    if (const std::string* version = versions_.find(text::to_lower_ascii(name))) return version;
    if (by_canonical_.empty() && !versions_.empty()) {
        for (const auto& [key, version] : versions_) by_canonical_.emplace(canonical_name(key), &version);
    }
    auto found = by_canonical_.find(canonical_name(name));
    return found == by_canonical_.end() ? nullptr : found->second;
}

std::vector<std::string> RequirementGenerator::read_requirements(const std::filesystem::path& requirements_path) {
    const std::string content = files::read(requirements_path);
    std::vector<std::string> entries;
    for_each_logical_requirement_line(content, [&](std::string_view line, std::size_t line_number) {
        // A plain pin is its own normal form.
        entries.push_back(plain_pin(line) ? std::string(line) : normalised_entry(requirements_path, line, line_number));
    });
    return entries;
}

VersionsMap RequirementGenerator::read_requirements_versions(const std::filesystem::path& requirements_file) {
    const std::string content = files::read(requirements_file);
    VersionsMap versions;
    versions.reserve(expected_entries(content));
    // Every line must parse before an entry is judged (a bad line further
    // down is the error, not an unpinned one above it): the first entry
    // that fails is kept and thrown once the whole file has parsed.
    std::exception_ptr entry_failure;
    const auto set_plain_pin = [&versions](const PlainPin& pin) {
        if (pin.name_without_dot_or_underscore) {
            versions.set_from_views(pin.name, pin.version);
        } else {
            set_normalised_pin(versions, pin);
        }
    };
    const auto set_other_line = [&](std::string_view line, std::size_t line_number) {
        if (const std::optional<PlainPin> pin = plain_pin(line)) {  // continued, or with spaces or a comment
            set_plain_pin(*pin);
            return;
        }
        const std::string entry = normalised_entry(requirements_file, line, line_number);
        if (entry_failure) return;
        try {
            set_pinned_version(versions, entry);
        } catch (const ValueError&) {
            entry_failure = std::current_exception();
        }
    };
    for_each_pin_or_logical_line(content, set_plain_pin, set_other_line);
    if (entry_failure) std::rethrow_exception(entry_failure);
    return versions;
}

KeyError unpinned_requirement_error(const std::string& requirement, const std::string& group_name,
                                    const std::optional<std::filesystem::path>& versions_source) {
    return KeyError("No pinned version for '" + requirement + "' (group '" + group_name + "') in " +
                    (versions_source ? versions_source->string() : "the pinned versions"));
}

PinnedGroups RequirementGenerator::generate_pinned_versions_groups(
    const VersionsMap& versions_map, const RequirementGroups& groups, bool include_individual_packages,
    const std::optional<std::filesystem::path>& versions_source) {
    PinnedGroups result;
    PinnedVersionLookup lookup(versions_map);
    for (const auto& [group_name, requirements] : groups) {
        std::vector<std::string> pinned;
        for (const std::string& requirement : requirements) {
            const Package package = Package::from_string(requirement);
            if (has_no_version(package.name())) continue;
            const std::string* version = lookup.find(package.name());
            if (version == nullptr) {
                throw unpinned_requirement_error(package.to_string(), group_name, versions_source);
            }
            pinned.push_back(package.to_string() + "==" + *version);
        }
        result.set(group_name, std::move(pinned));
    }
    if (include_individual_packages) {
        for (const auto& [name, version] : versions_map) {
            if (!has_no_version(name)) result.set(name, {name + "==" + version});
        }
    }
    return result;
}

}  // namespace quorl
