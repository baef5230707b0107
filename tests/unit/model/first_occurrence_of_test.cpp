#include <gtest/gtest.h>

#include <random>
#include <string>

#include "model/dependency_map.h"
#include "model/dependency_map_examples.h"

namespace quorl {
namespace {

using Layers = std::vector<std::vector<Package>>;

// The reference the direct computation must equal.
Layers through_sub_map(const DependencyMap& map, const std::vector<Package>& roots,
                       const std::vector<Package>& excluded, std::optional<int> depth) {
    DependencyMap sub_map = map.extract_from_roots(roots);
    for (const Package& package : excluded) sub_map.remove_package(package);
    return sub_map.first_occurrence_by_depth(depth);
}

// Random maps with what makes sub-maps subtle: single-extra keys (some whose
// set lacks part of their base's), dependencies naming several extras or an
// extra that is no key, cycles, and packages that are no key at all.
DependencyMap::StringMapping random_mapping(std::mt19937& random) {
    const int packages = 4 + static_cast<int>(random() % 9);
    auto name = [](int i) { return "p" + std::to_string(i); };
    auto some_dependency = [&]() {
        const std::string target = name(static_cast<int>(random() % (packages + 2)));  // p<n>, p<n+1>: no keys
        switch (random() % 6) {
            case 0: return target + "[a]";
            case 1: return target + "[a,b]";
            case 2: return target + "[c]";
            default: return target;
        }
    };
    DependencyMap::StringMapping mapping;
    for (int i = 0; i < packages; ++i) {
        std::vector<std::string> dependencies;
        for (int k = static_cast<int>(random() % 4); k > 0; --k) dependencies.push_back(some_dependency());
        mapping.push_back({name(i), dependencies});
        for (const char* extra : {"a", "b"}) {
            if (random() % 3 != 0) continue;
            std::vector<std::string> own;
            for (int k = static_cast<int>(random() % 3); k > 0; --k) own.push_back(some_dependency());
            mapping.push_back({name(i) + "[" + extra + "]", own});
        }
    }
    // A dependency with extras needs its base package as a key, as the
    // installed map gives it one.
    for (int i = packages; i < packages + 2; ++i) mapping.push_back({name(i), {}});
    return mapping;
}

std::vector<Package> random_packages(std::mt19937& random, int count) {
    static const std::vector<std::string> forms = {"p0", "p1", "p2[a]", "p3[a,b]", "p4", "p5[b]", "p1[c]", "p13", "p2"};
    std::vector<Package> out;
    for (int k = 0; k < count; ++k) out.push_back(Package::from_string(forms[random() % forms.size()]));
    return out;
}

// Several thousand random cases against extract_from_roots, remove_package
// and first_occurrence_by_depth; a failure prints the map and the query.
TEST(FirstOccurrenceOfTest, EqualsTheLayersOfTheExtractedSubMap) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        const DependencyMap::StringMapping mapping = random_mapping(random);
        const DependencyMap map = DependencyMap::from_string_mapping(mapping);
        const std::vector<Package> roots = random_packages(random, 1 + static_cast<int>(random() % 3));
        const std::vector<Package> excluded = random_packages(random, static_cast<int>(random() % 3));
        const std::optional<int> depth =
            random() % 3 == 0 ? std::optional<int>(static_cast<int>(random() % 5) - 2) : std::nullopt;
        std::string described;
        for (const auto& [key, dependencies] : mapping) {
            described += key + ":";
            for (const std::string& dependency : dependencies) described += " " + dependency;
            described += "; ";
        }
        described += " roots";
        for (const Package& root : roots) described += " " + root.to_string();
        described += " excluded";
        for (const Package& package : excluded) described += " " + package.to_string();
        ASSERT_EQ(map.first_occurrence_by_depth_of(roots, excluded, depth),
                  through_sub_map(map, roots, excluded, depth))
            << described;
    }
}

TEST(FirstOccurrenceOfTest, DiamondChainGivesEachPackageOnce) {
    const DependencyMap chain = examples::diamond_chain(20);
    const Layers layers = chain.first_occurrence_by_depth_of({Package("t0")}, {});
    std::size_t count = 0;
    for (const std::vector<Package>& layer : layers) count += layer.size();
    EXPECT_EQ(count, 61u);
    EXPECT_EQ(layers, through_sub_map(chain, {Package("t0")}, {}, std::nullopt));
}

}  // namespace
}  // namespace quorl
