#include "model/sub_map_view.h"

#include "model/dependency_tree_text.h"

namespace quorl {

DependencyMap::SubMapView DependencyMap::view_from_roots(const std::vector<Package>& roots,
                                                         const std::vector<Package>& excluded) const {
    return SubMapView(*this, roots, excluded);
}

DependencyMap::SubMapView::SubMapView(const DependencyMap& map, const std::vector<Package>& roots,
                                      const std::vector<Package>& excluded)
    : map_(map), view_(map, roots, excluded) {}

void DependencyMap::SubMapView::for_each_package(const std::function<void(const Package&)>& visit) {
    view_.for_each_member(visit);
}

DependencyMap::SubMapView::PackageGraph DependencyMap::SubMapView::package_graph() {
    constexpr std::size_t OUTSIDE = static_cast<std::size_t>(-1);
    PackageGraph graph;
    std::vector<std::size_t> position(map_.nodes_.size(), OUTSIDE);
    view_.for_each_member_id([&](Id id) {
        position[id] = graph.packages.size();
        graph.packages.push_back(&map_.nodes_[id].package);
        graph.ids.push_back(id);
    });
    graph.first.reserve(graph.packages.size() + 1);
    view_.for_each_member_id([&](Id id) {
        graph.first.push_back(graph.dependencies.size());
        for (const Id dependency : view_.dependencies_of(id)) {
            if (position[dependency] != OUTSIDE) graph.dependencies.push_back(position[dependency]);
        }
    });
    graph.first.push_back(graph.dependencies.size());
    return graph;
}

std::vector<Package> DependencyMap::SubMapView::roots() { return map_.to_packages(view_.roots()); }

void DependencyMap::SubMapView::for_each_by_depth(std::optional<int> max_depth,
                                                  const std::function<void(std::size_t depth, const Package&)>& visit) {
    map_.for_each_by_depth_in(view_, max_depth, visit);
}

void DependencyMap::SubMapView::for_each_tree_line(bool show_extras_marker,
                                                   const std::function<void(std::string_view)>& visit) {
    TreeText(map_, view_, show_extras_marker).for_each_line(visit);
}

void DependencyMap::SubMapView::for_each_reached(
    const std::function<void(std::size_t depth, const Package&, const std::vector<const Package*>&)>& visit) {
    const std::vector<std::vector<Id>> layers = view_.first_occurrence_layers();
    std::vector<const Package*> dependencies;
    for (std::size_t depth = 0; depth < layers.size(); ++depth) {
        for (const Id id : layers[depth]) {
            dependencies.clear();
            for (const Id dependency : view_.dependencies_of(id))
                dependencies.push_back(&map_.nodes_[dependency].package);
            visit(depth, map_.nodes_[id].package, dependencies);
        }
    }
}

}  // namespace quorl
