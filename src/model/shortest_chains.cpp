// The "why" query of a group's view: how the group's roots reach a package.
#include <vector>

#include "model/sub_map_view.h"

namespace quorl {
namespace {

constexpr std::size_t UNREACHED = static_cast<std::size_t>(-1);

}  // namespace

bool DependencyMap::SubMapView::for_each_shortest_chain(
    const std::function<bool(const Package&)>& is_target,
    const std::function<void(const std::vector<const Package*>&)>& visit) {
    // The first-occurrence layers are the breadth-first distances from the
    // roots, so a shortest chain to a package of layer d steps through
    // layers 0, 1, ..., d.
    const std::vector<std::vector<Id>> layers = view_.first_occurrence_layers();
    std::vector<std::size_t> depth_of(map_.nodes_.size(), UNREACHED);
    std::size_t target_depth = UNREACHED;
    for (std::size_t depth = 0; depth < layers.size() && target_depth == UNREACHED; ++depth) {
        for (const Id id : layers[depth]) {
            depth_of[id] = depth;
            if (is_target(map_.nodes_[id].package)) target_depth = depth;
        }
    }
    if (target_depth == UNREACHED) return false;

    // Marks what lies on some shortest chain, from the targets back to the
    // roots: the walk forward then never enters a dead end.
    std::vector<char> on_chain(map_.nodes_.size(), 0);
    for (const Id id : layers[target_depth]) on_chain[id] = is_target(map_.nodes_[id].package) ? 1 : 0;
    for (std::size_t depth = target_depth; depth-- > 0;) {
        for (const Id id : layers[depth]) {
            for (const Id dependency : view_.dependencies_of(id)) {
                if (depth_of[dependency] == depth + 1 && on_chain[dependency]) on_chain[id] = 1;
            }
        }
    }

    // Depth first in text order (layer 0 and every `get` are sorted), so the
    // chains come out sorted without being held.
    std::vector<const Package*> chain;
    const std::function<void(Id)> walk = [&](Id id) {
        chain.push_back(&map_.nodes_[id].package);
        if (chain.size() == target_depth + 1) {
            visit(chain);
        } else {
            for (const Id dependency : view_.dependencies_of(id)) {
                if (depth_of[dependency] == chain.size() && on_chain[dependency]) walk(dependency);
            }
        }
        chain.pop_back();
    };
    for (const Id root : layers[0]) {
        if (on_chain[root]) walk(root);
    }
    return true;
}

}  // namespace quorl
