// DependencyMap::from_installed and fetch_extras_for_installed_package: the
// dependency map of the installed environment, read through an
// EnvironmentReader.
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "model/dependency_map.h"
#include "python/canonical_name.h"
#include "python/environment_reader.h"
#include "python/requirement.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/ordered_set.h"

namespace quorl {
namespace {

// What the map needs of one requirement line: the package it stands for (its
// canonical name, with the extras it asks for in written order, so that what
// those extras pull in is kept) and its marker. Kept small: an environment
// holds tens of thousands of lines.
struct DeclaredRequirement {
    Package dependency;
    std::unique_ptr<const Marker> marker;  // null when the line has none
};

std::vector<DeclaredRequirement> parse_all(const Distribution& distribution) {
    std::vector<DeclaredRequirement> requirements;
    requirements.reserve(distribution.requirement_lines.size());
    for (const std::string& line : distribution.requirement_lines) {
        Requirement parsed = parse_requirement_of(line, distribution.name, distribution.location);
        make_canonical(parsed.name);
        requirements.push_back({Package::from_canonical_name(std::move(parsed.name), std::move(parsed.extras)),
                                parsed.marker ? std::make_unique<const Marker>(std::move(*parsed.marker)) : nullptr});
    }
    return requirements;
}

// What pip installs for the distribution itself: requirements without a
// marker or whose marker holds with no extra. Replaces `dependencies`.
void direct_dependencies(const std::vector<DeclaredRequirement>& requirements, const MarkerEnvironment& environment,
                         std::vector<Package>& dependencies) {
    dependencies.clear();
    for (const DeclaredRequirement& requirement : requirements) {
        if (!requirement.marker || requirement.marker->evaluate(environment, "")) {
            dependencies.push_back(requirement.dependency);
        }
    }
}

// The extras map of `package` from its parsed requirements. A requirement
// names its extras through `extra == "X"` comparisons of its marker; each
// such X gets a key at its first mention, and the requirement joins X's list
// when its marker holds with extra = X.
DependencyMap::ExtrasMap extras_of(const Package& package, const std::vector<DeclaredRequirement>& requirements,
                                   const MarkerEnvironment& environment) {
    DependencyMap::ExtrasMap extras;
    for (const DeclaredRequirement& requirement : requirements) {
        if (!requirement.marker) continue;
        for (const std::string& extra : requirement.marker->extra_names()) {
            std::vector<Package>& list = extras[Package(package.name(), {extra})];
            if (requirement.marker->evaluate(environment, extra)) list.push_back(requirement.dependency);
        }
    }
    return extras;
}

// The installed environment, each requirement line parsed once.
struct ParsedEnvironment {
    std::vector<Distribution> distributions;
    std::vector<std::vector<DeclaredRequirement>> requirements;  // per distribution
    std::unordered_map<std::string_view, std::size_t> by_key;
};

ParsedEnvironment read_environment(const EnvironmentReader& reader) {
    ParsedEnvironment parsed;
    try {
        parsed.distributions = reader.list_distributions();
    } catch (const PipDepTreeProcessingException&) {
        log::error("An error happened computing dependency tree");
        throw;
    }
    parsed.requirements.reserve(parsed.distributions.size());
    parsed.by_key.reserve(parsed.distributions.size());
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        parsed.requirements.push_back(parse_all(parsed.distributions[i]));
        parsed.distributions[i].requirement_lines = {};  // parsed: the text is no longer needed
        parsed.by_key.emplace(parsed.distributions[i].key, i);
    }
    return parsed;
}

// Dependencies with extras met while building the map, in first-seen order.
using ExtrasDependencies = OrderedSet<Package>;

void note_extras_dependencies(const std::vector<Package>& dependencies, ExtrasDependencies& seen) {
    for (const Package& dependency : dependencies) {
        if (dependency.has_extras()) seen.insert(dependency);
    }
}

// Every key is a distinct package without extras, so adding them one by one
// in order builds what the constructor would build from the same mapping,
// without holding a second copy of the whole graph while it does.
DependencyMap map_of_direct_dependencies(const ParsedEnvironment& parsed, const MarkerEnvironment& environment,
                                         ExtrasDependencies& with_extras) {
    DependencyMap map;
    std::vector<Package> dependencies;
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        direct_dependencies(parsed.requirements[i], environment, dependencies);
        note_extras_dependencies(dependencies, with_extras);
        map._add_dependencies(Package(parsed.distributions[i].key), dependencies);
    }
    // A dependency "b[x]" needs the key b even when b is not installed.
    std::unordered_set<std::string> added;
    for (const Package& dependency : with_extras) {
        if (!parsed.by_key.count(dependency.name()) && added.insert(dependency.name()).second) {
            map._add_dependencies(dependency.base(), {});
        }
    }
    return map;
}

void add_installed_extras(DependencyMap& map, const ParsedEnvironment& parsed, const MarkerEnvironment& environment,
                          ExtrasDependencies& with_extras) {
    for (const Package& package : map.packages()) {
        // A key with extras is a dependency "b[x]"; the extras of b come with b's own key.
        if (package.has_extras()) continue;
        const auto found = parsed.by_key.find(canonical_name(package.name()));
        if (found == parsed.by_key.end()) {
            log::warning("Package " + package.name() + " not found when fetching extras.");
            continue;
        }
        for (const auto& [extra_package, dependencies] :
             extras_of(package, parsed.requirements[found->second], environment)) {
            note_extras_dependencies(dependencies, with_extras);
            map._add_dependencies(extra_package, dependencies);
        }
    }
}

// Every single-extra variant b[x] of a dependency with extras becomes a key
// carrying at least b's dependencies, so that reaching b[x,y] reaches what b
// needs even for an extra that b does not declare.
void complete_extras_variants(DependencyMap& map, const ExtrasDependencies& with_extras) {
    for (const Package& dependency : with_extras) {
        if (!map.contains(dependency.base())) map._add_dependencies(dependency.base(), {});
        for (const std::string& extra : dependency.extras()) {
            map._add_dependencies(Package(dependency.name(), {extra}), {});
        }
    }
}

}  // namespace

DependencyMap DependencyMap::from_installed(bool fetch_extras) {
    return from_installed(InstalledEnvironmentReader::current(), fetch_extras);
}

DependencyMap DependencyMap::from_installed(const EnvironmentReader& reader, bool fetch_extras) {
    const ParsedEnvironment parsed = read_environment(reader);
    const MarkerEnvironment& environment = reader.marker_environment();
    ExtrasDependencies with_extras;
    DependencyMap map = map_of_direct_dependencies(parsed, environment, with_extras);
    if (fetch_extras) add_installed_extras(map, parsed, environment, with_extras);
    complete_extras_variants(map, with_extras);
    return map;
}

DependencyMap::ExtrasMap DependencyMap::fetch_extras_for_installed_package(const Package& package) {
    return fetch_extras_for_installed_package(package, InstalledEnvironmentReader::current());
}

DependencyMap::ExtrasMap DependencyMap::fetch_extras_for_installed_package(const Package& package,
                                                                         const EnvironmentReader& reader) {
    const std::optional<Distribution> distribution = reader.find_distribution(package.name());
    if (!distribution) {
        log::warning("Package " + package.name() + " not found when fetching extras.");
        return {};
    }
    return extras_of(package, parse_all(*distribution), reader.marker_environment());
}

}  // namespace quorl
