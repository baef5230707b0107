// DependencyMap::SubMapView: one group's sub-map, the map that
// extract_from_roots(roots) builds, answered on the environment map's own
// ids. Printing a group needs only the sub-map's packages, its layers or its
// tree; building it copied every reached package into new indexes and freed
// them again, which cost more than the printing. Each query here equals the
// same query on the extracted map, output for output (a randomized unit test
// holds them together).
//
// The view must not outlive its map, and the map must not change while the
// view exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/dependency_map.h"
#include "model/dependency_sub_graph.h"

namespace quorl {

class DependencyMap::SubMapView {
public:
    // `excluded` as for the sub-map that remove_package of each of them
    // leaves: a release drops its excluded packages after extracting.
    SubMapView(const DependencyMap& map, const std::vector<Package>& roots, const std::vector<Package>& excluded = {});

    // The packages of extract_from_roots(roots).packages(), in the id order
    // of the map viewed: finding its key order would cost a walk of every
    // set, and checking what a group reaches needs only the packages.
    void for_each_package(const std::function<void(const Package&)>& visit);

    // As for_each_by_depth of the extracted map: the full layers,
    // duplicates included.
    void for_each_by_depth(std::optional<int> max_depth,
                           const std::function<void(std::size_t depth, const Package&)>& visit);

    // Every edge the tree draws, each once, as positions: `packages` as
    // for_each_package visits them, and for each the positions of the
    // packages under it (its `get`) that are in the sub-map. A bill of materials takes its graph
    // from here, so that it cannot differ from the tree, and folds it into
    // distributions; finding each package of each edge by name cost more
    // than walking the edges. The lists lie end to end in one vector: a
    // list of its own per package cost an allocation per package and group.
    struct PackageGraph {
        std::vector<const Package*> packages;
        std::vector<std::uint32_t> ids;         // each package's key in the map viewed (see name_ranks)
        std::vector<std::size_t> dependencies;  // every package's list, in the order of `packages`
        std::vector<std::size_t> first;         // where each package's list starts, and the end
        std::span<const std::size_t> dependencies_of(std::size_t package) const {
            return std::span(dependencies).subspan(first[package], first[package + 1] - first[package]);
        }
    };
    PackageGraph package_graph();

    // The packages the tree starts from, in text order (none for a sub-map
    // of only cycles).
    std::vector<Package> roots();

    // As for_each_tree_line of the extracted map (and it throws as that does).
    void for_each_tree_line(bool show_extras_marker, const std::function<void(std::string_view)>& visit);

    // Every package of the layered listing once, at its first occurrence, in
    // listing order: its depth (the layer) and its dependencies (`get`,
    // sorted by text form). Every dependency named is itself visited.
    void for_each_reached(
        const std::function<void(std::size_t depth, const Package&, const std::vector<const Package*>&)>& visit);

    // Every shortest chain from a package of layer 0 to a package that
    // `is_target` accepts: the chains end at the targets of the lowest layer
    // that holds any, and each step goes from a package to one of its
    // dependencies. The chains come in order of their packages' text forms,
    // element by element, and are handed over one by one (their number can
    // grow exponentially with the graph). False when nothing reached is a
    // target.
    bool for_each_shortest_chain(const std::function<bool(const Package&)>& is_target,
                                 const std::function<void(const std::vector<const Package*>&)>& visit);

private:
    const DependencyMap& map_;
    SubGraph view_;
};

}  // namespace quorl
