#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "model/dependency_map.h"
#include "model/dependency_map_examples.h"
#include "model/sub_map_view.h"
#include "support/errors.h"

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
            case 0:
                return target + "[a]";
            case 1:
                return target + "[a,b]";
            case 2:
                return target + "[c]";
            default:
                return target;
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

std::string describe(const DependencyMap::StringMapping& mapping, const std::vector<Package>& roots,
                     const std::vector<Package>& excluded) {
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
    return described;
}

std::optional<int> random_depth(std::mt19937& random) {
    return random() % 3 == 0 ? std::optional<int>(static_cast<int>(random() % 5) - 2) : std::nullopt;
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
        const std::optional<int> depth = random_depth(random);
        ASSERT_EQ(map.first_occurrence_by_depth_of(roots, excluded, depth),
                  through_sub_map(map, roots, excluded, depth))
            << describe(mapping, roots, excluded);
    }
}

// What the groups command prints of one group: its packages (in no
// particular order: they are what the consistency warnings are about), its
// full layers, and its tree or the error
// that the tree has no roots.
struct Printed {
    std::vector<std::string> packages;
    std::vector<std::string> layers;
    std::vector<std::string> tree;
    bool operator==(const Printed&) const = default;
};

void PrintTo(const Printed& printed, std::ostream* out) {
    for (const auto* lines : {&printed.packages, &printed.layers, &printed.tree}) {
        *out << "\n";
        for (const std::string& line : *lines) *out << line << " | ";
    }
}

template <typename Map>
Printed print(Map& map, std::optional<int> depth) {
    Printed printed;
    map.for_each_package([&](const Package& package) { printed.packages.push_back(package.to_string()); });
    std::sort(printed.packages.begin(), printed.packages.end());
    map.for_each_by_depth(depth, [&](std::size_t level, const Package& package) {
        printed.layers.push_back(std::to_string(level) + " " + package.to_string());
    });
    try {
        map.for_each_tree_line(true, [&](std::string_view line) { printed.tree.emplace_back(line); });
    } catch (const ValueError& error) {
        printed.tree.push_back(std::string("error: ") + error.what());
    }
    return printed;
}

// The extracted map, behind the interface of the view.
struct Extracted {
    DependencyMap map;
    void for_each_package(const std::function<void(const Package&)>& visit) const {
        for (const Package& package : map.packages()) visit(package);
    }
    void for_each_by_depth(std::optional<int> depth,
                           const std::function<void(std::size_t, const Package&)>& visit) const {
        map.for_each_by_depth(depth, visit);
    }
    void for_each_tree_line(bool marker, const std::function<void(std::string_view)>& visit) const {
        map.for_each_tree_line(marker, visit);
    }
};

// The groups command removes the excluded packages from the environment's
// map, then views each group in place instead of extracting it.
TEST(FirstOccurrenceOfTest, SubMapViewPrintsWhatTheExtractedSubMapPrints) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        const DependencyMap::StringMapping mapping = random_mapping(random);
        DependencyMap map = DependencyMap::from_string_mapping(mapping);
        const std::vector<Package> roots = random_packages(random, 1 + static_cast<int>(random() % 3));
        const std::vector<Package> excluded = random_packages(random, static_cast<int>(random() % 3));
        const std::optional<int> depth = random_depth(random);
        for (const Package& package : excluded) map.remove_package(package);
        Extracted extracted{map.extract_from_roots(roots)};
        DependencyMap::SubMapView view = map.view_from_roots(roots);
        ASSERT_EQ(print(view, depth), print(extracted, depth)) << describe(mapping, roots, excluded);
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
