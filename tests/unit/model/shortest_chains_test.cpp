#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/dependency_map_examples.h"
#include "model/sub_map_view.h"

namespace quorl {
namespace {

using Chain = std::vector<std::string>;

std::vector<Chain> streamed_chains(const DependencyMap& map, const std::vector<Package>& roots,
                                   const std::string& name) {
    std::vector<Chain> chains;
    DependencyMap::SubMapView view = map.view_from_roots(roots);
    view.for_each_shortest_chain([&](const Package& p) { return p.name() == name; },
                                 [&](const std::vector<const Package*>& chain) {
                                     Chain texts;
                                     for (const Package* p : chain) texts.push_back(p->to_string());
                                     chains.push_back(texts);
                                 });
    return chains;
}

// The definition: of every walk through `get` of the extracted map from a
// package of its first layer, those that end at a package of the name and are
// as short as any such walk, sorted. Walks are extended a step at a time, so
// the first length with an ending walk is the shortest.
std::vector<Chain> defined_chains(const DependencyMap& map, const std::vector<Package>& roots,
                                  const std::string& name) {
    const DependencyMap group = map.extract_from_roots(roots);
    const auto layers = group.first_occurrence_by_depth();
    if (layers.empty()) return {};
    std::vector<std::vector<Package>> walks;
    for (const Package& first : layers[0]) walks.push_back({first});
    for (std::size_t length = 1; length <= layers.size(); ++length) {
        std::vector<Chain> ending;
        for (const auto& walk : walks) {
            if (walk.back().name() != name) continue;
            Chain texts;
            for (const Package& p : walk) texts.push_back(p.to_string());
            ending.push_back(texts);
        }
        if (!ending.empty()) {
            std::sort(ending.begin(), ending.end());
            return ending;
        }
        std::vector<std::vector<Package>> longer;
        for (const auto& walk : walks) {
            for (const Package& next : group.get(walk.back())) {
                longer.push_back(walk);
                longer.back().push_back(next);
            }
        }
        walks = std::move(longer);
    }
    return {};
}

TEST(ShortestChainsTest, EveryShortestChainInOrderOnRandomMaps) {
    std::size_t with_chains = 0, with_several = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        const DependencyMap map = examples::random_map(seed);
        const std::vector<Package> keys = map.packages();
        const std::vector<Package> roots = {keys[seed % keys.size()], keys[seed * 7 % keys.size()]};
        for (int target = 0; target < 30; ++target) {
            const std::string name = "p" + std::to_string(target);
            const std::vector<Chain> chains = streamed_chains(map, roots, name);
            ASSERT_EQ(chains, defined_chains(map, roots, name)) << seed << " " << name;
            with_chains += !chains.empty();
            with_several += chains.size() > 1;
        }
    }
    // The maps make the cases that matter: none, one, several.
    EXPECT_GT(with_chains, 200u);
    EXPECT_GT(with_several, 50u);
}

TEST(ShortestChainsTest, ReachedPackagesCarryTheirLayerAndDependencies) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const DependencyMap map = examples::random_map(seed);
        const Package root = map.packages()[seed % map.size()];
        const DependencyMap group = map.extract_from_roots({root});
        std::vector<std::pair<std::size_t, std::string>> expected;
        const auto layers = group.first_occurrence_by_depth();
        for (std::size_t depth = 0; depth < layers.size(); ++depth) {
            for (const Package& p : layers[depth]) {
                std::string line = p.to_string() + ":";
                for (const Package& d : group.get(p)) line += " " + d.to_string();
                expected.push_back({depth, line});
            }
        }
        std::vector<std::pair<std::size_t, std::string>> reached;
        map.view_from_roots({root}).for_each_reached(
            [&](std::size_t depth, const Package& p, const std::vector<const Package*>& dependencies) {
                std::string line = p.to_string() + ":";
                for (const Package* d : dependencies) line += " " + d->to_string();
                reached.push_back({depth, line});
            });
        ASSERT_EQ(reached, expected) << seed;
    }
}

}  // namespace
}  // namespace quorl
