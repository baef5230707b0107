// Reading pinned requirements files back and pinning groups with them.
#include "resolution/pinned_requirements.h"

#include <algorithm>
#include <optional>

#include "model/package.h"
#include "pep/canonical_name.h"
#include "resolution/requirement_generator.h"
#include "resolution/requirement_line.h"
#include "resolution/resolved_pins.h"
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

// Names the file and the line in an error of one of its lines. Option
// lines may carry index URLs with credentials.
ValueError located(const std::filesystem::path& file, std::size_t line_number, std::string_view message) {
    return ValueError(
        redact_credentials(file.string() + ", line " + std::to_string(line_number) + ": " + std::string(message)));
}

// The requirement of one logical line, its hash options aside.
Requirement parsed_line(const std::filesystem::path& file, std::string_view line, std::size_t line_number) {
    try {
        return parse_requirement(text::strip(without_hash_options(line)));
    } catch (const ValueError& error) {
        throw located(file, line_number, error.what());
    }
}

struct PinnedEntry {
    std::string name;     // the base name, as Package::from_string gives it
    std::string version;  // the text after "=="
};

// The base name and version an entry pins.
PinnedEntry pinned_entry(const std::string& entry) {
    if (entry.find("==") == std::string::npos) {
        throw ValueError(redact_credentials("Requirement " + entry + " is not pinned"));
    }
    std::vector<std::string> parts = text::split(entry, "==");
    if (parts.size() != 2) throw ValueError("too many values to unpack (expected 2)");
    return {Package::from_string(parts[0]).name(), std::move(parts[1])};
}

// The same for a parsed requirement (without its marker). A pin of one
// "==" clause is read off its parts, which gives what splitting its text
// gives without building and splitting that text: most lines of a resolved
// file are such pins. Every other shape goes through the text.
PinnedEntry pinned_entry(const Requirement& requirement) {
    const std::string& specifier = requirement.specifier;
    if (requirement.url.empty() && specifier.size() > 2 && specifier.starts_with("==") && specifier[2] != '=' &&
        specifier.find("==", 2) == std::string::npos) {
        return {Package::normalise_name(requirement.name), specifier.substr(2)};
    }
    return pinned_entry(normal_form(requirement, false));
}

// Records what one requirement pins: under its base name, the version with
// its marker (the pinned text of the release keeps it), and, given the
// environment's markers, the bare version where its marker holds (kept
// apart from the first marker on; until then every pin applies as
// written). A later entry replaces an earlier one of the same name, except
// that, given the markers, one whose marker is false does not replace one
// that applies: a file resolved for several Pythons pins a name once per
// marker, and the release must keep the pin of this environment. The entry
// is split without its marker, whose own "==" would make it look pinned
// twice.
void record_pin(ResolvedPins& pins, const Requirement& requirement, const MarkerSource* markers) {
    PinnedEntry entry = pinned_entry(requirement);
    if (markers != nullptr && (requirement.marker || pins.applying)) {
        if (!pins.applying) pins.applying = pins.versions;
        if (requirement.marker && !requirement.marker->evaluate((*markers)(), "")) {
            if (pins.applying->contains(entry.name)) return;
        } else {
            pins.applying->set(entry.name, entry.version);
        }
    }
    if (requirement.marker) entry.version += "; " + requirement.marker->to_string();
    pins.versions.set(std::move(entry.name), std::move(entry.version));
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

// Reads a pinned file; the map of applying pins only with `markers`. Every
// line must parse before an entry is judged (a bad line further down is the
// error, not an unpinned one above it): the first entry that fails is kept
// and thrown once the whole file has parsed.
ResolvedPins read_pins(const std::filesystem::path& file, const MarkerSource* markers) {
    const std::string content = files::read(file);
    ResolvedPins pins;
    pins.versions.reserve(expected_entries(content));
    std::optional<ValueError> entry_failure;
    for_each_logical_requirement_line(content, [&](std::string_view line, std::size_t line_number) {
        const Requirement requirement = parsed_line(file, line, line_number);
        if (entry_failure) return;
        try {
            record_pin(pins, requirement, markers);
        } catch (const ValueError& error) {
            entry_failure = located(file, line_number, error.what());
        }
    });
    if (entry_failure) throw *entry_failure;
    return pins;
}

}  // namespace

const std::string* PinnedVersionLookup::find(const std::string& name) {
    // Names are nearly always in lower case already: no copy to make then.
    const bool lower = std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    std::string lowered;
    if (const std::string* version = versions_.find(lower ? name : (lowered = text::to_lower_ascii(name)))) {
        return version;
    }
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
        entries.push_back(normal_form(parsed_line(requirements_path, line, line_number)));
    });
    return entries;
}

VersionsMap RequirementGenerator::read_requirements_versions(const std::filesystem::path& requirements_file) {
    return read_pins(requirements_file, nullptr).versions;
}

ResolvedPins read_pinned_requirements_file(const std::filesystem::path& file, const MarkerSource& markers) {
    return read_pins(file, &markers);
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
    // Sized at once: a release holds a list for every pinned package, and
    // growing the table left the old one beside the new at the peak.
    result.reserve(groups.size() + (include_individual_packages ? versions_map.size() : 0));
    PinnedVersionLookup lookup(versions_map);
    for (const auto& [group_name, requirements] : groups) {
        std::vector<std::string> pinned;
        pinned.reserve(requirements.size());
        for (const std::string& requirement : requirements) {
            // Most requirements name no extras: their text form is their
            // name, normalised as a package's is, and no package is made.
            // A group's texts come from packages, normalised already: no
            // copy is made of those.
            const bool plain = requirement.find('[') == std::string::npos;
            std::string normalised;
            std::string with_extras;
            const std::string* name = &requirement;
            if (!plain) {
                const Package package = Package::from_string(requirement);
                name = &(normalised = package.name());
                with_extras = package.to_string();
            } else if (std::any_of(requirement.begin(), requirement.end(),
                                   [](char c) { return c == '_' || c == '.'; })) {
                name = &(normalised = Package::normalise_name(requirement));
            }
            if (has_no_version(*name)) continue;
            const std::string* version = lookup.find(*name);
            const std::string& text = plain ? *name : with_extras;
            if (version == nullptr) throw unpinned_requirement_error(text, group_name, versions_source);
            std::string& line = pinned.emplace_back();
            line.reserve(text.size() + 2 + version->size());
            line.append(text).append("==").append(*version);
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
