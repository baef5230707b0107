// Graph queries of the dependency map: dependents, roots, depth layers and
// the sub-map reached from given roots. Each is linear in keys plus
// dependencies (packages_by_depth additionally in the size of its output).
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_map>

#include "model/dependency_map.h"
#include "support/errors.h"

namespace quorl {
namespace {

// How many of `layer_count` layers a max_depth keeps (a negative bound
// counts from the end).
std::size_t layers_kept(std::optional<int> max_depth, std::size_t layer_count) {
    if (!max_depth) return layer_count;
    const std::int64_t n = static_cast<std::int64_t>(layer_count);
    const std::int64_t s = static_cast<std::int64_t>(*max_depth) + 1;
    const std::int64_t kept = s >= 0 ? std::min(s, n) : std::max<std::int64_t>(n + s, 0);
    return static_cast<std::size_t>(kept);
}

}  // namespace

std::vector<Package> DependencyMap::required_by(const Package& target_package) const {
    // Only keys of the target's name can hold it; mark those that do.
    std::vector<char> matches(nodes_.size(), 0);
    bool any = false;
    if (auto same_name = by_name_.find(target_package.name()); same_name != by_name_.end()) {
        for (const Id id : same_name->second) {
            if (target_package.included_in(nodes_[id].package)) {
                matches[id] = 1;
                any = true;
            }
        }
    }
    if (!any) return {};

    std::vector<std::pair<std::string, std::vector<std::string>>> grouped;
    std::unordered_map<std::string, std::size_t> position;
    Adjacency adjacency(*this);
    for (Id id = 0; id < nodes_.size(); ++id) {
        const std::span<const Id> dependencies = adjacency.of(id);
        if (std::none_of(dependencies.begin(), dependencies.end(),
                         [&](Id dependency) { return matches[dependency] != 0; })) {
            continue;
        }
        const Package& dependent = nodes_[id].package;
        auto [found, inserted] = position.try_emplace(dependent.name(), grouped.size());
        if (inserted) grouped.emplace_back(dependent.name(), std::vector<std::string>{});
        std::vector<std::string>& extras = grouped[found->second].second;
        for (const std::string& extra : dependent.extras()) {
            if (std::find(extras.begin(), extras.end(), extra) == extras.end()) {
                extras.push_back(extra);
            }
        }
    }
    std::vector<Package> out;
    out.reserve(grouped.size());
    for (auto& [name, extras] : grouped) out.emplace_back(name, std::move(extras));
    return out;
}

DependencyMap DependencyMap::extract_from_roots(const std::vector<Package>& roots) const {
    return rebuilt(reached_from(roots));
}

// The keys of the reached set T, in key order.
std::vector<DependencyMap::Id> DependencyMap::reached_from(const std::vector<Package>& roots) const {
    std::vector<char> reached(nodes_.size(), 0);
    std::vector<Id> reached_ids;
    std::vector<Id> work;
    Adjacency adjacency(*this);

    auto reach = [&](Id id) {
        if (reached[id]) return;
        reached[id] = 1;
        reached_ids.push_back(id);
        work.push_back(id);
    };
    // A package with extras brings its base package, and the base is
    // traversed like any other: a root whose extra the package does not
    // declare (pkg[unknown], pkg[]) reaches what the base reaches,
    // transitively, as installing pkg[unknown] installs pkg with all it
    // requires. The base's set is normally within the variant's, but not for
    // a variant that is no key (an undeclared extra, or one that adds
    // nothing); merely listing the base's dependencies without following them
    // would drop what they need and fail the rebuild on any that has extras.
    // One of several extras also brings its single-extra variants: it cannot
    // itself be added to the new map with dependencies, so they carry what it
    // stands for.
    auto reach_relatives = [&](const Package& package) {
        if (!package.has_extras()) return;
        if (const std::optional<Id> base = find(package.base())) reach(*base);
        if (package.extras().size() < 2) return;
        for (const std::string& extra : package.extras()) {
            if (const std::optional<Id> variant = find(Package(package.name(), {extra}))) {
                reach(*variant);
            }
        }
    };
    auto reach_dependency = [&](Id id) {
        if (reached[id]) return;
        reach(id);
        reach_relatives(nodes_[id].package);
    };

    for (const Package& root : roots) {
        if (const std::optional<Id> id = find(root)) {
            reach(*id);
        } else {
            // A root that is not a key still contributes its dependencies.
            for (const Id dependency : dependency_ids(root)) reach_dependency(dependency);
        }
        reach_relatives(root);
    }
    while (!work.empty()) {
        const Id id = work.back();
        work.pop_back();
        for (const Id dependency : adjacency.of(id)) reach_dependency(dependency);
    }
    std::sort(reached_ids.begin(), reached_ids.end());
    return reached_ids;
}

// What the constructor builds from the mapping {key: get(key)} over `keys`
// (in key order), working on ids rather than copying every set as packages.
// Keys of several extras are left out: they return through their dependents.
DependencyMap DependencyMap::rebuilt(const std::vector<Id>& keys) const {
    DependencyMap result;
    result.nodes_.reserve(keys.size());
    result.index_.reserve(keys.size());
    result.by_name_.reserve(keys.size());
    constexpr Id NONE = static_cast<Id>(-1);
    std::vector<Id> renumber(nodes_.size(), NONE);
    auto intern_copy = [&](Id id) {
        if (renumber[id] == NONE) renumber[id] = result.intern(nodes_[id].package);
        return renumber[id];
    };
    Adjacency adjacency(*this);
    for (const bool with_extras : {false, true}) {
        for (const Id id : keys) {
            const Package& package = nodes_[id].package;
            if (package.has_extras() != with_extras || package.extras().size() > 1) continue;
            const std::optional<Id> base = result.check_addable(package);
            const Id key = intern_copy(id);
            const std::span<const Id> sources = adjacency.of(id);
            std::vector<Id> dependencies;
            dependencies.reserve(sources.size());
            for (const Id dependency : sources) dependencies.push_back(intern_copy(dependency));
            // A set of this map, renumbered: still in text order.
            result.add_to_set(key, std::move(dependencies), base, true);
        }
    }
    result.check_base_packages();
    return result;
}

std::vector<Package> DependencyMap::roots() const {
    return to_packages(root_ids());
}

std::vector<DependencyMap::Id> DependencyMap::root_ids() const {
    // Every set of a key of several extras is the union of sets of keys, so
    // the required set R is the union of the keys' own sets.
    std::vector<char> required(nodes_.size(), 0);
    for (const Node& node : nodes_) {
        for (const Id dependency : node.dependencies) required[dependency] = 1;
    }
    // Keys are either candidates or required, so "included in another
    // candidate or in a required package" means "included in another key";
    // such keys share the name, which the name index lists.
    std::vector<Id> out;
    for (Id id = 0; id < nodes_.size(); ++id) {
        if (required[id]) continue;
        const Package& candidate = nodes_[id].package;
        const std::vector<Id>& same_name = by_name_.at(candidate.name());
        const bool represented = std::any_of(same_name.begin(), same_name.end(), [&](Id other) {
            return other != id && candidate.included_in(nodes_[other].package);
        });
        if (!represented) out.push_back(id);
    }
    std::sort(out.begin(), out.end(), [this](Id a, Id b) { return text_less(a, b); });
    return out;
}

// Layer-wise BFS keeping first occurrences: a package joins the layer after
// the first layer that requires it. Equal to deduplicating the full layers,
// since repeats of a package in a layer only repeat its (identical) children.
template <typename AdjacencyOf>
std::vector<std::vector<DependencyMap::Id>> DependencyMap::breadth_first_layers(std::vector<Id> roots,
                                                                                std::size_t key_count,
                                                                                AdjacencyOf adjacency) {
    std::vector<std::vector<Id>> layers;
    std::vector<char> seen(key_count, 0);
    std::vector<Id> current = std::move(roots);
    for (const Id id : current) seen[id] = 1;
    while (!current.empty()) {
        std::vector<Id> next;
        for (const Id id : current) {
            for (const Id dependency : adjacency(id)) {
                if (!seen[dependency]) {
                    seen[dependency] = 1;
                    next.push_back(dependency);
                }
            }
        }
        layers.push_back(std::move(current));
        current = std::move(next);
    }
    return layers;
}

std::vector<std::vector<DependencyMap::Id>> DependencyMap::first_occurrence_layers() const {
    Adjacency adjacency(*this);
    return breadth_first_layers(root_ids(), nodes_.size(), [&adjacency](Id id) { return adjacency.of(id); });
}

// The sub-map that extract_from_roots would build, and the removals, are
// followed on this map's ids instead:
//   - its keys are the reached keys of at most one extra and every package
//     they list (a key of several extras comes back only through a dependent);
//   - a key without extras keeps its set; a single-extra key's set was united
//     with its base package's set when the sub-map was built;
//   - a key of several extras has no set of its own, and `get` of it unites
//     the sets of its single-extra variants that are (still) keys;
//   - removing a package drops it (and, without extras, every key of its
//     name) as a key and from every set; what the dropped keys listed stays.
std::vector<std::vector<Package>> DependencyMap::first_occurrence_by_depth_of(
    const std::vector<Package>& roots, const std::vector<Package>& excluded, std::optional<int> max_depth) const {
    std::vector<char> key(nodes_.size(), 0);
    for (const Id id : reached_from(roots)) {
        if (nodes_[id].package.extras().size() > 1) continue;
        key[id] = 1;
        for (const Id dependency : nodes_[id].dependencies) key[dependency] = 1;
    }
    for (const Package& package : excluded) {
        if (const std::optional<Id> id = find(package)) key[*id] = 0;
        if (package.has_extras()) continue;
        if (auto same_name = by_name_.find(package.name()); same_name != by_name_.end()) {
            for (const Id id : same_name->second) key[id] = 0;
        }
    }

    // The sub-map's set of a key of at most one extra, in text order. That
    // of a single-extra key unites two sorted sets: merged once, kept.
    auto text_order = [this](Id a, Id b) { return text_less(a, b); };
    std::unordered_map<Id, std::vector<Id>> united_sets;
    auto own_or_united = [&](Id id) -> const std::vector<Id>& {
        const Package& package = nodes_[id].package;
        if (!package.has_extras()) return nodes_[id].dependencies;
        auto [found, inserted] = united_sets.try_emplace(id);
        if (inserted) {
            const std::optional<Id> base = find(package.base());
            const std::vector<Id>& own = nodes_[id].dependencies;
            const std::vector<Id> none;
            const std::vector<Id>& inherited = base ? nodes_[*base].dependencies : none;
            std::set_union(own.begin(), own.end(), inherited.begin(), inherited.end(),
                           std::back_inserter(found->second), text_order);
        }
        return found->second;
    };
    std::vector<Id> scratch;
    auto set_of = [&](Id id) -> const std::vector<Id>& {  // valid until the next call
        scratch.clear();
        for (const Id dependency : own_or_united(id)) {
            if (key[dependency]) scratch.push_back(dependency);
        }
        return scratch;
    };
    auto adjacency = [&](Id id) -> const std::vector<Id>& {
        const Package& package = nodes_[id].package;
        if (package.extras().size() <= 1) return set_of(id);
        std::vector<Id> united;
        for (const std::string& extra : package.extras()) {
            const std::optional<Id> variant = find(Package(package.name(), {extra}));
            if (!variant || !key[*variant]) continue;
            const std::vector<Id>& more = set_of(*variant);
            united.insert(united.end(), more.begin(), more.end());
        }
        sort_by_text(united);
        scratch = std::move(united);
        return scratch;
    };

    // Its roots: keys that no set lists, less those included in another key
    // of the same name.
    std::vector<char> required(nodes_.size(), 0);
    for (Id id = 0; id < nodes_.size(); ++id) {
        if (!key[id] || nodes_[id].package.extras().size() > 1) continue;
        for (const Id dependency : own_or_united(id)) required[dependency] = 1;
    }
    std::vector<Id> sub_roots;
    for (Id id = 0; id < nodes_.size(); ++id) {
        if (!key[id] || required[id]) continue;
        const Package& candidate = nodes_[id].package;
        const std::vector<Id>& same_name = by_name_.at(candidate.name());
        const bool represented = std::any_of(same_name.begin(), same_name.end(), [&](Id other) {
            return other != id && key[other] && candidate.included_in(nodes_[other].package);
        });
        if (!represented) sub_roots.push_back(id);
    }
    std::sort(sub_roots.begin(), sub_roots.end(), [this](Id a, Id b) { return text_less(a, b); });

    std::vector<std::vector<Id>> layers = breadth_first_layers(std::move(sub_roots), nodes_.size(), adjacency);
    layers.resize(layers_kept(max_depth, layers.size()));
    std::vector<std::vector<Package>> out;
    out.reserve(layers.size());
    for (const std::vector<Id>& layer : layers) out.push_back(to_packages(layer));
    return out;
}

std::vector<std::vector<Package>> DependencyMap::first_occurrence_by_depth(
    std::optional<int> max_depth) const {
    std::vector<std::vector<Id>> layers = first_occurrence_layers();
    layers.resize(layers_kept(max_depth, layers.size()));
    std::vector<std::vector<Package>> out;
    out.reserve(layers.size());
    for (const std::vector<Id>& layer : layers) out.push_back(to_packages(layer));
    return out;
}

void DependencyMap::for_each_by_depth(
    std::optional<int> max_depth,
    const std::function<void(std::size_t depth, const Package&)>& visit) const {
    const std::vector<std::vector<Id>> first = first_occurrence_layers();
    const std::size_t kept = layers_kept(max_depth, first.size());
    if (kept == 0) return;

    // A dependency of a package of layer i that is not in layers 0..i is, by
    // definition, in layer i + 1 of the first occurrences, and conversely.
    constexpr std::uint32_t UNREACHED = static_cast<std::uint32_t>(-1);
    std::vector<std::uint32_t> depth_of(nodes_.size(), UNREACHED);
    for (std::size_t depth = 0; depth < kept; ++depth) {
        for (const Id id : first[depth]) depth_of[id] = static_cast<std::uint32_t>(depth);
    }
    Adjacency adjacency(*this);
    std::vector<Id> current = first[0];  // roots occur once
    std::vector<Id> next;
    for (std::size_t depth = 0; depth < kept; ++depth) {
        for (const Id id : current) visit(depth, nodes_[id].package);
        if (depth + 1 == kept) break;
        next.clear();
        for (const Id id : current) {
            for (const Id dependency : adjacency.of(id)) {
                if (depth_of[dependency] == depth + 1) next.push_back(dependency);
            }
        }
        current.swap(next);
    }
}

std::vector<std::vector<Package>> DependencyMap::packages_by_depth(
    std::optional<int> max_depth) const {
    std::vector<std::vector<Package>> layers;
    for_each_by_depth(max_depth, [&layers](std::size_t depth, const Package& package) {
        if (layers.size() <= depth) layers.resize(depth + 1);
        layers[depth].push_back(package);
    });
    return layers;
}

}  // namespace quorl
