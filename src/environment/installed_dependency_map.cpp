// DependencyMap::from_installed and fetch_extras_for_installed_package: the
// dependency map of the installed environment, read through an
// DistributionReader.
#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "environment/declared_requirement.h"
#include "environment/distribution_reader.h"
#include "environment/installed_requirements.h"
#include "model/dependency_map.h"
#include "support/errors.h"
#include "support/hash_index.h"
#include "support/logging.h"
#include "support/ordered_set.h"

namespace quorl {
namespace {

// The extras of one distribution may be read twice in a run (a release reads
// those of its model library, then the whole environment).
void warn_once_of_skipped_line(const Distribution& distribution, const std::string& line, const ValueError& error) {
    static std::unordered_set<std::string> warned;
    if (!warned.insert(distribution.location + '\n' + line).second) return;
    log::warning(std::string(error.what()) + "; the line is skipped");
}

// Where the requirements the environment does not meet go, while a
// distribution's lines are parsed.
struct Judging {
    RequirementJudge& judge;
    std::vector<UnmetRequirement>& unmet;
};

// Judges `requirement`, read from `line`, if it is one pip installs for the
// distribution itself; the line of one that is not met is moved to the
// unmet: the map has parsed it and needs the text no more.
void judge_requirement(const DeclaredRequirement& requirement, std::string& line, std::string_view specifier,
                       Judging& judging) {
    if (!requirement.direct) return;
    if (const std::optional<std::size_t> target = judging.judge.unmet(requirement.dependency, specifier)) {
        judging.unmet.push_back({std::move(line), *target});
    }
}

// A line the parser rejects is skipped with a warning, and the other lines
// still count, as pip treats installed metadata: real distributions carry
// legacy lines (Send2Trash 1.8.1b0 declares `sys-platform (=="darwin") ;
// extra == 'objc'`), and failing on one would make every environment that
// holds it unreadable. The requirements kept are appended to `requirements`,
// and with `judging` judged as they are read.
void parse_all(Distribution& distribution, DeclaredRequirementReader& reader,
               std::vector<DeclaredRequirement>& requirements, Judging* judging = nullptr) {
    std::string specifier;
    for (std::string& line : distribution.requirement_lines) {
        try {
            requirements.push_back(reader.read(line, distribution, judging ? &specifier : nullptr));
        } catch (const ValueError& error) {
            warn_once_of_skipped_line(distribution, line, error);
            continue;
        }
        if (judging) judge_requirement(requirements.back(), line, specifier, *judging);
    }
}

// What pip installs for the distribution itself: requirements without a
// marker or whose marker holds with no extra. Replaces `dependencies`.
void direct_dependencies(std::span<const DeclaredRequirement> requirements, std::vector<Package>& dependencies) {
    dependencies.clear();
    for (const DeclaredRequirement& requirement : requirements) {
        if (requirement.direct) dependencies.push_back(requirement.dependency);
    }
}

// What each extra of a distribution requires. A requirement names its
// extras through `extra == "X"` comparisons of its marker; each such X gets
// a list at its first mention, and the requirement joins X's list when its
// marker holds with extra = X.
struct ExtraList {
    std::string_view extra;  // the reader's, as written in the marker
    std::vector<Package> requirements;
};

// A distribution declares a handful of extras, so its lists are found by a
// scan, without a map of its own; past a few dozen (metadata may declare
// thousands) an index keeps the work linear.
class ExtraLists {
public:
    std::vector<Package>& of(std::string_view extra) {
        if (index_.empty()) {
            for (ExtraList& list : lists_) {
                if (list.extra == extra) return list.requirements;
            }
        } else if (const auto found = index_.find(extra); found != index_.end()) {
            return lists_[found->second].requirements;
        }
        lists_.push_back({extra, {}});
        if (!index_.empty() || lists_.size() > SCAN_LIMIT) {
            for (std::size_t i = index_.size(); i < lists_.size(); ++i) index_.emplace(lists_[i].extra, i);
        }
        return lists_.back().requirements;
    }
    std::vector<ExtraList> take() { return std::move(lists_); }

private:
    static constexpr std::size_t SCAN_LIMIT = 32;
    std::vector<ExtraList> lists_;
    std::unordered_map<std::string_view, std::size_t> index_;
};

std::vector<ExtraList> extra_lists(std::span<const DeclaredRequirement> requirements) {
    // Most distributions declare no extra at all: nothing to gather then.
    const auto names_extras = [](const DeclaredRequirement& requirement) {
        return requirement.extras_marker != nullptr;
    };
    if (std::none_of(requirements.begin(), requirements.end(), names_extras)) return {};
    ExtraLists lists;
    for (const DeclaredRequirement& requirement : requirements) {
        if (!requirement.extras_marker) continue;
        for (const MarkerVerdict::Extra& extra : requirement.extras_marker->extras) {
            std::vector<Package>& list = lists.of(extra.name);
            if (extra.holds) list.push_back(requirement.dependency);
        }
    }
    return lists.take();
}

// The extras map of `package` from its parsed requirements.
DependencyMap::ExtrasMap extras_of(const Package& package, std::span<const DeclaredRequirement> requirements) {
    DependencyMap::ExtrasMap extras;
    for (ExtraList& list : extra_lists(requirements)) {
        extras.set(Package(package.name(), {std::string(list.extra)}), std::move(list.requirements));
    }
    return extras;
}

// The installed environment, each requirement line parsed once. The
// requirements of all distributions lie in one vector, each distribution's
// in a run of it: one block to fill and to free rather than one per
// distribution.
struct ParsedEnvironment {
    explicit ParsedEnvironment(const MarkerValues& environment) : reader(environment) {}

    std::span<const DeclaredRequirement> requirements_of(std::size_t distribution) const {
        return std::span(requirements)
            .subspan(first_requirement[distribution],
                     first_requirement[distribution + 1] - first_requirement[distribution]);
    }

    // The distribution of canonical name `key`.
    std::optional<std::size_t> find(std::string_view key) const {
        return by_key.find(std::hash<std::string_view>{}(key),
                           [&](std::size_t i) { return distributions[i].key == key; });
    }

    DeclaredRequirementReader reader;  // owns what the requirements share
    std::vector<Distribution> distributions;
    std::vector<DeclaredRequirement> requirements;
    std::vector<std::size_t> first_requirement;  // per distribution, and the end
    HashIndex by_key;  // over the distributions' keys: no node to make and free per distribution
};

void list_distributions(const DistributionReader& reader, ParsedEnvironment& parsed) {
    try {
        parsed.distributions = reader.list_distributions();
    } catch (const PipDepTreeProcessingException&) {
        log::error("An error happened computing dependency tree");
        throw;
    }
    std::size_t lines = 0;
    for (const Distribution& distribution : parsed.distributions) lines += distribution.requirement_lines.size();
    parsed.requirements.reserve(lines);
    parsed.first_requirement.reserve(parsed.distributions.size() + 1);
    parsed.by_key.reserve(parsed.distributions.size());
    parsed.reader.reserve(parsed.distributions.size());
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        parsed.by_key.insert(std::hash<std::string_view>{}(parsed.distributions[i].key), i);
    }
}

void read_environment(const DistributionReader& reader, ParsedEnvironment& parsed, InstalledRequirements* installed) {
    list_distributions(reader, parsed);
    if (installed) {
        // Every version is known before the first requirement is judged.
        installed->reserve(parsed.distributions.size());
        for (Distribution& distribution : parsed.distributions) {
            installed->push_back({distribution.key, std::move(distribution.version), {}});
        }
    }
    std::optional<RequirementJudge> judge;
    if (installed) judge.emplace(*installed);
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        parsed.first_requirement.push_back(parsed.requirements.size());
        if (installed) {
            Judging judging{*judge, (*installed)[i].unmet};
            parse_all(parsed.distributions[i], parsed.reader, parsed.requirements, &judging);
        } else {
            parse_all(parsed.distributions[i], parsed.reader, parsed.requirements);
        }
        parsed.distributions[i].requirement_lines = {};  // parsed: the text is no longer needed
    }
    parsed.first_requirement.push_back(parsed.requirements.size());
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
void add_direct_dependencies(DependencyMap& map, const ParsedEnvironment& parsed, ExtrasDependencies& with_extras) {
    std::vector<Package> dependencies;
    for (std::size_t i = 0; i < parsed.distributions.size(); ++i) {
        direct_dependencies(parsed.requirements_of(i), dependencies);
        note_extras_dependencies(dependencies, with_extras);
        map._add_dependencies(map.package_named(parsed.distributions[i].key), dependencies);
    }
    // A dependency "b[x]" needs the key b even when b is not installed.
    std::unordered_set<std::string> added;
    for (const Package& dependency : with_extras) {
        if (!parsed.find(dependency.name()) && added.insert(dependency.name()).second) {
            map._add_dependencies(dependency.base(), {});
        }
    }
}

void add_installed_extras(DependencyMap& map, const ParsedEnvironment& parsed, ExtrasDependencies& with_extras) {
    for (const Package& package : map.packages()) {
        // A key with extras is a dependency "b[x]"; the extras of b come with b's own key.
        if (package.has_extras()) continue;
        // Every key is canonical already: a distribution's key or a requirement's canonical name.
        const std::optional<std::size_t> found = parsed.find(package.name());
        if (!found) {
            log::warning("Package " + package.name() + " not found when fetching extras.");
            continue;
        }
        for (const ExtraList& list : extra_lists(parsed.requirements_of(*found))) {
            note_extras_dependencies(list.requirements, with_extras);
            map._add_dependencies(Package::from_canonical_name(package.name(), {std::string(list.extra)}),
                                  list.requirements);
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
    return from_installed(InstalledDistributionReader::current(), fetch_extras);
}

DependencyMap DependencyMap::from_installed(const DistributionReader& reader, bool fetch_extras,
                                            InstalledRequirements* requirements) {
    ParsedEnvironment parsed(reader.marker_values());
    read_environment(reader, parsed, requirements);
    ExtrasDependencies with_extras;
    DependencyMap map;
    map.defer_text_order();
    map.reserve(parsed.distributions.size());  // at least one key per distribution
    add_direct_dependencies(map, parsed, with_extras);
    if (fetch_extras) add_installed_extras(map, parsed, with_extras);
    complete_extras_variants(map, with_extras);
    map.restore_text_order();
    return map;
}

DependencyMap::ExtrasMap DependencyMap::fetch_extras_for_installed_package(const Package& package) {
    return fetch_extras_for_installed_package(package, InstalledDistributionReader::current());
}

DependencyMap::ExtrasMap DependencyMap::fetch_extras_for_installed_package(const Package& package,
                                                                           const DistributionReader& reader) {
    std::optional<Distribution> distribution = reader.find_distribution(package.name());
    if (!distribution) {
        log::warning("Package " + package.name() + " not found when fetching extras.");
        return {};
    }
    DeclaredRequirementReader requirement_reader(reader.marker_values());
    std::vector<DeclaredRequirement> requirements;
    parse_all(*distribution, requirement_reader, requirements);
    return extras_of(package, requirements);
}

}  // namespace quorl
