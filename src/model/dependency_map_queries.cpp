// Graph queries of the dependency map: dependents, roots, depth layers and
// the sub-map reached from given roots. Each is linear in keys plus
// dependencies (packages_by_depth additionally in the size of its output).
#include <algorithm>
#include <cstdint>

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
    // A package with extras brings its base package. The base is traversed
    // too: its set is normally within the variant's, but not for a variant
    // that is no key (an extra that adds nothing, or a root with an unknown
    // extra), and leaving it out would drop the transitive dependencies of
    // the base and fail the rebuild on any of them that has extras.
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
std::vector<std::vector<DependencyMap::Id>> DependencyMap::first_occurrence_layers() const {
    std::vector<std::vector<Id>> layers;
    std::vector<char> seen(nodes_.size(), 0);
    Adjacency adjacency(*this);
    std::vector<Id> current = root_ids();
    for (const Id id : current) seen[id] = 1;
    while (!current.empty()) {
        std::vector<Id> next;
        for (const Id id : current) {
            for (const Id dependency : adjacency.of(id)) {
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
