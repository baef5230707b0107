// Graph queries of the dependency map: dependents, roots, depth layers and
// the sub-map reached from given roots, each on a sub-graph view of the map.
// Each is linear in keys plus dependencies (packages_by_depth additionally in
// the size of its output).
#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "model/dependency_map.h"
#include "model/dependency_sub_graph.h"

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
    for_each_named(target_package.name(), [&](Id id) {
        if (target_package.included_in(nodes_[id].package)) {
            matches[id] = 1;
            any = true;
        }
    });
    if (!any) return {};

    std::vector<std::pair<std::string, std::vector<std::string>>> grouped;
    std::unordered_map<std::string, std::size_t> position;
    SubGraph whole(*this);
    for (Id id = 0; id < nodes_.size(); ++id) {
        const std::span<const Id> dependencies = whole.dependencies_of(id);
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
    SubGraph reached(*this, roots, {});
    return rebuilt(reached);
}

// What the constructor builds from the mapping {key: get(key)} over the keys
// of `view` (in key order), working on ids rather than copying every set as
// packages. Keys of several extras are left out: they return through their
// dependents.
DependencyMap DependencyMap::rebuilt(SubGraph& view) const {
    const std::size_t key_count = view.keys().size();
    DependencyMap result;
    result.nodes_.reserve(key_count);
    result.index_.reserve(key_count);
    result.by_name_.reserve(key_count);
    std::vector<Id> renumber(nodes_.size(), NO_ID);
    auto intern_copy = [&](Id id) {
        if (renumber[id] == NO_ID) renumber[id] = result.intern(nodes_[id].package);
        return renumber[id];
    };
    // The view's set of a single-extra key holds its base's already.
    view.for_each_entry([&](Id id, std::span<const Id> sources) {
        result.check_addable(nodes_[id].package);
        const Id key = intern_copy(id);
        std::vector<Id> dependencies;
        dependencies.reserve(sources.size());
        for (const Id dependency : sources) dependencies.push_back(intern_copy(dependency));
        // A set of this map, renumbered: still in text order.
        result.add_to_set(key, std::move(dependencies), std::nullopt, true);
    });
    result.check_base_packages();
    return result;
}

std::vector<Package> DependencyMap::roots() const { return to_packages(SubGraph(*this).roots()); }

std::vector<std::vector<Package>> DependencyMap::first_occurrence_by_depth_of(const std::vector<Package>& roots,
                                                                              const std::vector<Package>& excluded,
                                                                              std::optional<int> max_depth) const {
    return layers_as_packages(SubGraph(*this, roots, excluded).first_occurrence_layers(), max_depth);
}

std::vector<std::vector<Package>> DependencyMap::first_occurrence_by_depth(std::optional<int> max_depth) const {
    return layers_as_packages(SubGraph(*this).first_occurrence_layers(), max_depth);
}

std::vector<std::vector<Package>> DependencyMap::layers_as_packages(std::vector<std::vector<Id>> layers,
                                                                    std::optional<int> max_depth) const {
    layers.resize(layers_kept(max_depth, layers.size()));
    std::vector<std::vector<Package>> out;
    out.reserve(layers.size());
    for (const std::vector<Id>& layer : layers) out.push_back(to_packages(layer));
    return out;
}

void DependencyMap::for_each_by_depth(std::optional<int> max_depth,
                                      const std::function<void(std::size_t depth, const Package&)>& visit) const {
    SubGraph whole(*this);
    for_each_by_depth_in(whole, max_depth, visit);
}

void DependencyMap::for_each_by_depth_in(SubGraph& view, std::optional<int> max_depth,
                                         const std::function<void(std::size_t depth, const Package&)>& visit) const {
    // A cut counted from the end needs the number of layers first.
    if (max_depth && *max_depth < 0) {
        const std::size_t kept = layers_kept(max_depth, view.first_occurrence_layers().size());
        if (kept > 0) for_each_by_depth_in(view, static_cast<int>(kept) - 1, visit);
        return;
    }
    // Layer i + 1 is, for each package of layer i in order, its dependencies
    // in no layer up to i: one walk gives the layers as they are visited,
    // where first finding the first occurrences walked every set twice.
    const std::size_t kept =
        max_depth ? static_cast<std::size_t>(*max_depth) + 1 : std::numeric_limits<std::size_t>::max();
    std::vector<char> placed(nodes_.size(), 0);  // in a layer visited, or in the next one
    std::vector<Id> current = view.roots();      // roots occur once
    for (const Id id : current) placed[id] = 1;
    std::vector<Id> next;
    for (std::size_t depth = 0; depth < kept && !current.empty(); ++depth) {
        for (const Id id : current) visit(depth, nodes_[id].package);
        if (depth + 1 == kept) break;
        next.clear();
        for (const Id id : current) {
            for (const Id dependency : view.dependencies_of(id)) {
                if (!placed[dependency]) next.push_back(dependency);
            }
        }
        // Marked only once the layer is whole: a package required twice from
        // one layer occurs twice in the next.
        for (const Id id : next) placed[id] = 1;
        current.swap(next);
    }
}

std::vector<std::vector<Package>> DependencyMap::packages_by_depth(std::optional<int> max_depth) const {
    std::vector<std::vector<Package>> layers;
    for_each_by_depth(max_depth, [&layers](std::size_t depth, const Package& package) {
        if (layers.size() <= depth) layers.resize(depth + 1);
        layers[depth].push_back(package);
    });
    return layers;
}

}  // namespace quorl
