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
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "support/hash_index.h"
#include "support/logging.h"
#include "support/ordered_set.h"
#include "support/text.h"

namespace quorl {
namespace {

// The extras of one distribution may be read twice in a run (a release reads
// those of its model library, then the whole environment).
void warn_once_of_skipped_line(const Distribution& distribution, const std::string& line, const ValueError& error) {
    static std::unordered_set<std::string> warned;
    if (!warned.insert(distribution.location + '\n' + line).second) return;
    log::warning(std::string(error.what()) + "; the line is skipped");
}

// What a requirement line was read into, beside the requirement: the line's
// position among its distribution's lines and its version specifier, for
// judging once every version is known.
struct ReadLines {
    std::vector<std::size_t> lines;
    std::vector<std::string> specifiers;
};

// A line the parser rejects is skipped with a warning, and the other lines
// still count, as pip treats installed metadata: real distributions carry
// legacy lines (Send2Trash 1.8.1b0 declares `sys-platform (=="darwin") ;
// extra == 'objc'`), and failing on one would make every environment that
// holds it unreadable. The requirements kept are appended to `requirements`,
// and with `read_lines` where each came from.
void parse_all(const Distribution& distribution, DeclaredRequirementReader& reader,
               std::vector<DeclaredRequirement>& requirements, ReadLines* read_lines = nullptr) {
    std::string specifier;
    for (std::size_t line = 0; line < distribution.requirement_lines.size(); ++line) {
        const std::string& text = distribution.requirement_lines[line];
        try {
            requirements.push_back(reader.read(text, distribution, read_lines ? &specifier : nullptr));
        } catch (const ValueError& error) {
            warn_once_of_skipped_line(distribution, text, error);
            continue;
        }
        if (!read_lines) continue;
        read_lines->lines.push_back(line);
        read_lines->specifiers.push_back(std::move(specifier));
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

// The distributions read, each requirement line parsed once. The
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

    // Parses `distribution` and adds it; returns its requirements.
    std::span<const DeclaredRequirement> add(Distribution distribution, bool judged) {
        by_key.insert(std::hash<std::string_view>{}(distribution.key), distributions.size());
        const std::size_t first = requirements.size();
        first_requirement.push_back(first);  // the end is the next one's first, or pushed by finish()
        parse_all(distribution, reader, requirements, judged ? &read_lines : nullptr);
        distributions.push_back(std::move(distribution));
        return std::span(requirements).subspan(first);
    }

    // Ends the last run, and puts the distributions in key order (they are
    // read in the order the groups reach them).
    void finish() {
        first_requirement.push_back(requirements.size());
        std::vector<std::string_view> keys;
        keys.reserve(distributions.size());
        for (const Distribution& distribution : distributions) keys.push_back(distribution.key);
        by_key_order = text::byte_order(keys);
    }

    DeclaredRequirementReader reader;         // owns what the requirements share
    std::vector<Distribution> distributions;  // in reading order
    std::vector<DeclaredRequirement> requirements;
    ReadLines read_lines;                        // per requirement, when judged
    std::vector<std::size_t> first_requirement;  // per distribution, and the end
    std::vector<std::size_t> by_key_order;       // the distributions sorted by key
    HashIndex by_key;  // over the distributions' keys: no node to make and free per distribution
};

void read_every_distribution(const DistributionReader& reader, ParsedEnvironment& parsed, bool judged) {
    std::vector<Distribution> distributions;
    try {
        distributions = reader.list_distributions();
    } catch (const PipDepTreeProcessingException&) {
        log::error("An error happened computing dependency tree");
        throw;
    }
    std::size_t lines = 0;
    for (const Distribution& distribution : distributions) lines += distribution.requirement_lines.size();
    parsed.requirements.reserve(lines);
    parsed.first_requirement.reserve(distributions.size() + 1);
    parsed.by_key.reserve(distributions.size());
    parsed.reader.reserve(distributions.size());
    parsed.distributions.reserve(distributions.size());
    for (Distribution& distribution : distributions) parsed.add(std::move(distribution), judged);
}

// Whether a requirement is an edge of the map: pip installs it for the
// distribution itself, or for one of the extras its marker names.
bool followed(const DeclaredRequirement& requirement, bool fetch_extras) {
    if (requirement.direct) return true;
    if (!fetch_extras || !requirement.extras_marker) return false;
    const auto& extras = requirement.extras_marker->extras;
    return std::any_of(extras.begin(), extras.end(), [](const MarkerVerdict::Extra& extra) { return extra.holds; });
}

// Reads the distributions that `roots` reach through the map's edges (with
// `fetch_extras`, through those of every extra of each one read); false,
// with the reading left unfinished, when the reader cannot tell for sure
// which entry holds a name.
bool read_reached_distributions(const DistributionReader& reader, ParsedEnvironment& parsed,
                                const std::vector<Package>& roots, bool fetch_extras, bool judged) {
    // Every name met, in the order met; those from `next` on are still to
    // be looked up. Found again through a hash index: no node per name.
    std::vector<std::string> names;
    HashIndex seen;
    const auto want = [&](std::string_view key) {
        seen.find_or_add(
            std::hash<std::string_view>{}(key), [&](std::size_t i) { return names[i] == key; },
            [&] {
                names.emplace_back(key);
                return names.size() - 1;
            });
    };
    for (const Package& root : roots) want(canonical_name(root.name()));
    for (std::size_t next = 0; next < names.size(); ++next) {
        std::optional<Distribution> distribution = reader.find_distribution(names[next]);
        if (reader.names_disagree()) return false;
        if (!distribution) continue;
        for (const DeclaredRequirement& requirement : parsed.add(std::move(*distribution), judged)) {
            if (followed(requirement, fetch_extras)) want(requirement.dependency.name());
        }
    }
    return true;
}

// The same, failing as a full read fails where metadata cannot be read.
bool read_reached(const DistributionReader& reader, ParsedEnvironment& parsed, const std::vector<Package>& roots,
                  bool fetch_extras, bool judged) {
    try {
        return read_reached_distributions(reader, parsed, roots, fetch_extras, judged);
    } catch (const OsError& error) {
        log::error("An error happened computing dependency tree");
        throw PipDepTreeProcessingException(error.what());
    }
}

// Judges every requirement pip installs for a distribution itself, once
// every version read is known: `installed` gets the distributions in key
// order with their versions and the requirements the environment does not
// meet. The requirement lines are not needed afterwards.
void judge_requirements(ParsedEnvironment& parsed, InstalledRequirements& installed) {
    installed.reserve(parsed.distributions.size());
    for (const std::size_t i : parsed.by_key_order) {
        installed.push_back({parsed.distributions[i].key, std::move(parsed.distributions[i].version), {}});
    }
    RequirementJudge judge(installed);
    for (std::size_t k = 0; k < parsed.by_key_order.size(); ++k) {
        const std::size_t i = parsed.by_key_order[k];
        for (std::size_t r = parsed.first_requirement[i]; r < parsed.first_requirement[i + 1]; ++r) {
            const DeclaredRequirement& requirement = parsed.requirements[r];
            if (!requirement.direct) continue;
            if (const std::optional<std::size_t> target =
                    judge.unmet(requirement.dependency, parsed.read_lines.specifiers[r])) {
                std::string& line = parsed.distributions[i].requirement_lines[parsed.read_lines.lines[r]];
                installed[k].unmet.push_back({std::move(line), *target});
            }
        }
    }
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
    for (const std::size_t i : parsed.by_key_order) {
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

// The keys that are not installed are appended to `not_found`.
void add_installed_extras(DependencyMap& map, const ParsedEnvironment& parsed, ExtrasDependencies& with_extras,
                          std::vector<std::string>& not_found) {
    for (const Package& package : map.packages()) {
        // A key with extras is a dependency "b[x]"; the extras of b come with b's own key.
        if (package.has_extras()) continue;
        // Every key is canonical already: a distribution's key or a requirement's canonical name.
        const std::optional<std::size_t> found = parsed.find(package.name());
        if (!found) {
            not_found.push_back(package.name());
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

// Whether the map of what `roots` reach answers for the roots as the map of
// every distribution would. Keys are canonical, so a root spelt otherwise is
// no key in either. But a root that is not installed is a key of the whole
// map when any distribution requires it, and so is a variant root[x] of an
// extra the root does not declare: only reading everything tells.
bool answers_for(const DependencyMap& map, const ParsedEnvironment& parsed, const std::vector<Package>& roots) {
    for (const Package& root : roots) {
        if (root.name().empty() || !is_canonical(root.name())) continue;
        if (!parsed.find(root.name())) return false;
        for (const std::string& extra : root.extras()) {
            if (!map.contains(Package(root.name(), {extra}))) return false;
        }
    }
    return true;
}

void warn_not_found(const std::vector<std::string>& names) {
    for (const std::string& name : names) log::warning("Package " + name + " not found when fetching extras.");
}

}  // namespace

DependencyMap DependencyMap::from_installed(bool fetch_extras, const std::vector<Package>* roots) {
    return from_installed(InstalledDistributionReader::current(), fetch_extras, nullptr, roots);
}

DependencyMap DependencyMap::from_installed(const DistributionReader& reader, bool fetch_extras,
                                            InstalledRequirements* requirements, const std::vector<Package>* roots) {
    std::vector<std::string> not_found;
    // The map of the distributions `parsed` holds; with `requirements`, they
    // are judged first. Keys that are not installed go to `not_found` as the
    // extras are fetched.
    const auto built_map = [&](ParsedEnvironment& parsed) {
        const log::Stopwatch stopwatch;
        parsed.finish();
        if (requirements) judge_requirements(parsed, *requirements);
        // Judged: the texts are no longer needed, and the map is built on top of them.
        parsed.read_lines = {};
        for (Distribution& distribution : parsed.distributions) distribution.requirement_lines = {};
        ExtrasDependencies with_extras;
        DependencyMap map;
        map.defer_text_order();
        map.reserve(parsed.distributions.size());  // at least one key per distribution
        add_direct_dependencies(map, parsed, with_extras);
        if (fetch_extras) add_installed_extras(map, parsed, with_extras, not_found);
        complete_extras_variants(map, with_extras);
        map.restore_text_order();
        log::debug("Built the dependency map: " + std::to_string(map.size()) + " keys (" + stopwatch.elapsed() + ")");
        return map;
    };
    if (roots) {
        ParsedEnvironment reached(reader.marker_values());
        const log::Stopwatch stopwatch;
        if (read_reached(reader, reached, *roots, fetch_extras, requirements != nullptr)) {
            log::debug("Read " + std::to_string(reached.distributions.size()) +
                       " distributions that the groups reach (" + stopwatch.elapsed() + ")");
            DependencyMap map = built_map(reached);
            if (answers_for(map, reached, *roots)) {
                warn_not_found(not_found);
                return map;
            }
            if (requirements) requirements->clear();
            not_found.clear();
        }
        log::debug("What the groups reach cannot be told from the entries' names: reading every distribution");
    }
    const log::Stopwatch stopwatch;
    ParsedEnvironment everything(reader.marker_values());
    read_every_distribution(reader, everything, requirements != nullptr);
    log::debug("Read every distribution: " + std::to_string(everything.distributions.size()) + " (" +
               stopwatch.elapsed() + ")");
    DependencyMap map = built_map(everything);
    warn_not_found(not_found);
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
