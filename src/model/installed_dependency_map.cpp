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
// those extras pull in is kept), whether pip installs it for the distribution
// itself, and the marker when it names extras. Kept small: an environment
// holds tens of thousands of lines, and most markers matter only once.
struct DeclaredRequirement {
    Package dependency;
    bool direct;                                 // no marker, or one that holds with no extra
    std::unique_ptr<const Marker> extras_marker;  // null unless the marker names an extra
};

DeclaredRequirement declared(Requirement parsed, const MarkerEnvironment& environment) {
    make_canonical(parsed.name);
    Package dependency = Package::from_canonical_name(std::move(parsed.name), std::move(parsed.extras));
    if (!parsed.marker) return {std::move(dependency), true, nullptr};
    const bool direct = parsed.marker->evaluate(environment, "");
    if (parsed.marker->extra_names().empty()) return {std::move(dependency), direct, nullptr};
    return {std::move(dependency), direct, std::make_unique<const Marker>(std::move(*parsed.marker))};
}

// Where a requirement was declared and what versions it admits.
struct LineSpecifier {
    std::size_t line;       // index in the distribution's requirement lines
    std::string specifier;
};

// The extras of one distribution may be read twice in a run (a release reads
// those of its model library, then the whole environment).
void warn_once_of_skipped_line(const Distribution& distribution, const std::string& line, const ValueError& error) {
    static std::unordered_set<std::string> warned;
    if (!warned.insert(distribution.location + '\n' + line).second) return;
    log::warning(std::string(error.what()) + "; the line is skipped");
}

// A line the parser rejects is skipped with a warning, and the other lines
// still count, as pip treats installed metadata: real distributions carry
// legacy lines (Send2Trash 1.8.1b0 declares `sys-platform (=="darwin") ;
// extra == 'objc'`), and failing on one would make every environment that
// holds it unreadable. With `specifiers`, it also receives one LineSpecifier
// per requirement kept (replacing what it held).
std::vector<DeclaredRequirement> parse_all(const Distribution& distribution, const MarkerEnvironment& environment,
                                           std::vector<LineSpecifier>* specifiers = nullptr) {
    std::vector<DeclaredRequirement> requirements;
    requirements.reserve(distribution.requirement_lines.size());
    if (specifiers) specifiers->clear();
    for (std::size_t line = 0; line < distribution.requirement_lines.size(); ++line) {
        Requirement parsed;
        try {
            parsed = parse_requirement_of(distribution.requirement_lines[line], distribution.name,
                                          distribution.location);
        } catch (const ValueError& error) {
            warn_once_of_skipped_line(distribution, distribution.requirement_lines[line], error);
            continue;
        }
        if (specifiers) specifiers->push_back({line, std::move(parsed.specifier)});
        requirements.push_back(declared(std::move(parsed), environment));
    }
    return requirements;
}

// What pip installs for the distribution itself: requirements without a
// marker or whose marker holds with no extra. Replaces `dependencies`.
void direct_dependencies(const std::vector<DeclaredRequirement>& requirements, std::vector<Package>& dependencies) {
    dependencies.clear();
    for (const DeclaredRequirement& requirement : requirements) {
        if (requirement.direct) dependencies.push_back(requirement.dependency);
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
        if (!requirement.extras_marker) continue;
        for (const std::string& extra : requirement.extras_marker->extra_names()) {
            std::vector<Package>& list = extras[Package(package.name(), {extra})];
            if (requirement.extras_marker->evaluate(environment, extra)) list.push_back(requirement.dependency);
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

// The requirements of one distribution that the environment does not meet.
// Their lines are moved out: the map has parsed them and needs the text no more.
std::vector<UnmetRequirement> unmet_requirements(Distribution& distribution, const std::vector<LineSpecifier>& specifiers,
                                                 const std::vector<DeclaredRequirement>& requirements,
                                                 RequirementJudge& judge) {
    std::vector<UnmetRequirement> unmet;
    for (std::size_t i = 0; i < requirements.size(); ++i) {
        const DeclaredRequirement& requirement = requirements[i];
        if (!requirement.direct) continue;
        if (const std::optional<std::size_t> target = judge.unmet(requirement.dependency.name(), specifiers[i].specifier)) {
            unmet.push_back({std::move(distribution.requirement_lines[specifiers[i].line]), *target});
        }
    }
    return unmet;
}

ParsedEnvironment read_environment(const EnvironmentReader& reader, InstalledRequirements* installed) {
    ParsedEnvironment parsed;
    try {
        parsed.distributions = reader.list_distributions();
    } catch (const PipDepTreeProcessingException&) {
        log::error("An error happened computing dependency tree");
        throw;
    }
    parsed.requirements.reserve(parsed.distributions.size());
    parsed.by_key.reserve(parsed.distributions.size());
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) parsed.by_key.emplace(parsed.distributions[i].key, i);
    if (installed) {
        // Every version is known before the first requirement is judged.
        installed->reserve(parsed.distributions.size());
        for (Distribution& distribution : parsed.distributions) {
            installed->push_back({distribution.key, std::move(distribution.version), {}});
        }
    }
    std::optional<RequirementJudge> judge;
    if (installed) judge.emplace(*installed, parsed.by_key);
    std::vector<LineSpecifier> specifiers;
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        parsed.requirements.push_back(
            parse_all(parsed.distributions[i], reader.marker_environment(), installed ? &specifiers : nullptr));
        if (installed) {
            (*installed)[i].unmet = unmet_requirements(parsed.distributions[i], specifiers, parsed.requirements.back(), *judge);
        }
        parsed.distributions[i].requirement_lines = {};  // parsed: the text is no longer needed
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
DependencyMap map_of_direct_dependencies(const ParsedEnvironment& parsed, ExtrasDependencies& with_extras) {
    DependencyMap map;
    std::vector<Package> dependencies;
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        direct_dependencies(parsed.requirements[i], dependencies);
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

DependencyMap DependencyMap::from_installed(const EnvironmentReader& reader, bool fetch_extras,
                                           InstalledRequirements* requirements) {
    const ParsedEnvironment parsed = read_environment(reader, requirements);
    const MarkerEnvironment& environment = reader.marker_environment();
    ExtrasDependencies with_extras;
    DependencyMap map = map_of_direct_dependencies(parsed, with_extras);
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
    const MarkerEnvironment& environment = reader.marker_environment();
    return extras_of(package, parse_all(*distribution, environment), environment);
}

}  // namespace quorl
