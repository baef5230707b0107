#include "model/dependency_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <unordered_set>

#include "model/dependency_map_examples.h"
#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

using Texts = std::vector<std::string>;

using test::texts;

std::vector<Texts> texts(const std::vector<std::vector<Package>>& layers) {
    std::vector<Texts> out;
    for (const auto& layer : layers) out.push_back(texts(layer));
    return out;
}

Package pkg(const char* text) { return Package::from_string(text); }

using examples::abcde;
using examples::app_map;
using examples::diamond_chain;
using examples::random_map;
using examples::scipy_map;

TEST(DependencyMapTest, PlainMapQueries) {
    DependencyMap map = abcde();
    EXPECT_EQ(texts(map.packages()), (Texts{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(texts(map.roots()), Texts{"A"});
    EXPECT_EQ(texts(map.get(pkg("A"))), (Texts{"B", "C"}));
    EXPECT_TRUE(map.get(pkg("Z")).empty());
    EXPECT_EQ(texts(map.required_by(pkg("D"))), (Texts{"B", "C"}));
    EXPECT_TRUE(map.required_by(pkg("A")).empty());

    const std::vector<Texts> all = {{"A"}, {"B", "C"}, {"D", "D"}, {"E", "E"}};
    struct Cut {
        std::optional<int> max_depth;
        std::size_t layers;
    };
    for (const Cut cut : {Cut{std::nullopt, 4}, Cut{0, 1}, Cut{1, 2}, Cut{3, 4}, Cut{9, 4}, Cut{-1, 0}, Cut{-2, 3},
                          Cut{-5, 0}, Cut{-9, 0}}) {
        const std::vector<Texts> expected(all.begin(), all.begin() + cut.layers);
        EXPECT_EQ(texts(map.packages_by_depth(cut.max_depth)), expected) << cut.max_depth.value_or(999);
        EXPECT_EQ(map.first_occurrence_by_depth(cut.max_depth).size(), cut.layers);
    }
    EXPECT_EQ(texts(map.first_occurrence_by_depth()), (std::vector<Texts>{{"A"}, {"B", "C"}, {"D"}, {"E"}}));

    const DependencyMap from_b = map.extract_from_roots({pkg("B")});
    EXPECT_EQ(texts(from_b.packages()), (Texts{"B", "D", "E"}));
    EXPECT_EQ(texts(from_b.roots()), Texts{"B"});

    map.remove_package(pkg("D"));
    EXPECT_EQ(texts(map.packages()), (Texts{"A", "B", "C", "E"}));
    EXPECT_TRUE(map.get(pkg("B")).empty());
    EXPECT_TRUE(map.get(pkg("C")).empty());
    EXPECT_EQ(texts(map.roots()), (Texts{"A", "E"}));
    map.remove_package(pkg("nothing"));
    EXPECT_EQ(map.size(), 4u);
}

TEST(DependencyMapTest, ExtrasVariantsCarryBaseDependencies) {
    DependencyMap map = scipy_map();
    EXPECT_EQ(texts(map.get(pkg("scipy[test]"))), (Texts{"numpy", "pytest"}));
    EXPECT_TRUE(map.get(pkg("numpy")).empty());
    EXPECT_TRUE(map.contains(pkg("pytest")));
    // The base package is represented by its variant.
    EXPECT_EQ(texts(map.roots()), Texts{"scipy[test]"});
    // Several extras: the union of the known variants.
    EXPECT_EQ(texts(map.get(pkg("scipy[test,develop]"))), (Texts{"numpy", "pytest"}));
    EXPECT_TRUE(map.get(pkg("scipy[develop]")).empty());

    EXPECT_EQ(texts(map.extract_from_roots({pkg("scipy[test]")}).packages()),
              (Texts{"scipy", "numpy", "pytest", "scipy[test]"}));
    // An unknown extra brings the base package, whose dependencies are not followed.
    EXPECT_EQ(texts(map.extract_from_roots({pkg("scipy[x]")}).packages()), (Texts{"scipy", "numpy"}));

    map.remove_package(pkg("scipy"));
    EXPECT_EQ(texts(map.packages()), (Texts{"numpy", "pytest"}));
    EXPECT_EQ(texts(map.roots()), (Texts{"numpy", "pytest"}));
}

TEST(DependencyMapTest, RemovingAVariantKeepsBaseAndRenumbersConsistently) {
    DependencyMap map = DependencyMap::from_string_mapping(
        {{"app", {"s[t]", "zz"}}, {"s", {"n"}}, {"s[t]", {"p"}}, {"s[d]", {"m"}}, {"zz", {"s"}}});
    map.remove_package(pkg("s[t]"));
    EXPECT_EQ(texts(map.packages()), (Texts{"app", "zz", "s", "n", "p", "s[d]", "m"}));
    EXPECT_EQ(texts(map.get(pkg("app"))), Texts{"zz"});
    EXPECT_EQ(texts(map.get(pkg("s[d]"))), (Texts{"m", "n"}));
    EXPECT_EQ(texts(map.roots()), (Texts{"app", "p", "s[d]"}));
    // The map stays usable after renumbering: new keys go to the end.
    map._add_dependencies(pkg("s[t]"), {pkg("q")});
    EXPECT_EQ(texts(map.get(pkg("s[t]"))), (Texts{"n", "q"}));
    EXPECT_EQ(texts(map.packages()).back(), "q");
    EXPECT_EQ(texts(map.required_by(pkg("n"))), (Texts{"s[d,t]"}));
}

TEST(DependencyMapTest, RequiredByGroupsExtrasByName) {
    const DependencyMap map = DependencyMap::from_string_mapping({{"a", {}},
                                                                  {"b", {"t[z]"}},
                                                                  {"t", {}},
                                                                  {"a[x]", {"t"}},
                                                                  {"a[y]", {"t", "a[x]"}},
                                                                  {"u", {"m[k,l]"}},
                                                                  {"m", {}},
                                                                  {"m[k]", {"t"}}});
    // b requires t through t[z]; m[k,l] requires t through its variant m[k].
    EXPECT_EQ(texts(map.required_by(pkg("t"))), (Texts{"b", "m[k,l]", "a[x,y]"}));
    EXPECT_EQ(texts(map.required_by(pkg("t[z]"))), Texts{"b"});
    EXPECT_TRUE(map.required_by(pkg("t[q]")).empty());
}

TEST(DependencyMapTest, ConstructionFailuresAndTheirMessages) {
    struct Case {
        DependencyMap::StringMapping mapping;
        const char* message;  // nullptr: succeeds
    };
    const std::vector<Case> cases = {
        {{{"a[x,y]", {}}}, "Cannot add dependencies for a package with multiple extras."},
        {{{"a", {}}, {"a[x,y]", {}}}, "Cannot add dependencies for a package with multiple extras."},
        {{{"a[x]", {}}}, "Package a[x] has extras but no base package a in the dependency map."},
        {{{"a", {"b[x]"}}}, "Missing base dependencies for package b[x]."},
        {{{"a", {"b[x]"}}, {"b", {}}}, nullptr},
        {{{"b", {"a"}}, {"a[x]", {}}}, nullptr},
        {{{"a", {"b[x,y]"}}, {"b", {}}}, nullptr},
        {{{"a[b][c]", {}}}, "too many values to unpack (expected 2)"},
    };
    for (const Case& c : cases) {
        if (!c.message) {
            EXPECT_NO_THROW(DependencyMap::from_string_mapping(c.mapping));
            continue;
        }
        EXPECT_EQ(test::expect_error_message<ValueError>([&] { DependencyMap::from_string_mapping(c.mapping); }),
                  c.message);
    }
}

TEST(DependencyMapTest, AddDependenciesLeavesMapUnchangedOnFailure) {
    DependencyMap map = scipy_map();
    EXPECT_THROW(map._add_dependencies(pkg("x[e]"), {pkg("new")}), ValueError);
    EXPECT_THROW(map._add_dependencies(pkg("scipy[a,b]"), {pkg("new")}), ValueError);
    EXPECT_EQ(map.size(), 4u);
    EXPECT_FALSE(map.contains(pkg("new")));
    // A variant copies its base package's set at the time it is added.
    map._add_dependencies(pkg("scipy[dev]"), {pkg("mypy"), pkg("mypy")});
    EXPECT_EQ(texts(map.get(pkg("scipy[dev]"))), (Texts{"mypy", "numpy"}));
}

TEST(DependencyMapTest, LaterDuplicateKeyReplacesListAndKeepsPosition) {
    const DependencyMap map = DependencyMap::from_string_mapping({{"a_b", {"x"}}, {"c", {}}, {"a-b", {"y"}}});
    EXPECT_EQ(texts(map.packages()), (Texts{"a-b", "y", "c"}));
    EXPECT_EQ(texts(map.get(pkg("a-b"))), Texts{"y"});
}

// Keys of one name (a package and its extras variants) share a place, and
// the places follow the names' order, not the keys'.
TEST(DependencyMapTest, NameRanksOrderNamesAndShareOneAcrossExtras) {
    const DependencyMap map = DependencyMap::from_string_mapping(
        {{"zeta", {"alpha[x]", "beta"}}, {"beta", {}}, {"alpha", {}}, {"alpha[x]", {"beta"}}});
    const std::vector<Package> keys = map.packages();
    const std::vector<std::uint32_t> ranks = map.name_ranks();
    ASSERT_EQ(ranks.size(), keys.size());
    const std::map<std::string, std::uint32_t> expected{{"alpha", 0}, {"beta", 1}, {"zeta", 2}};
    for (std::size_t id = 0; id < keys.size(); ++id) EXPECT_EQ(ranks[id], expected.at(keys[id].name())) << id;
}

TEST(DependencyMapTest, CyclesHaveNoRootsAndNoLayers) {
    const DependencyMap cycle = DependencyMap::from_string_mapping({{"a", {"b"}}, {"b", {"a"}}});
    EXPECT_TRUE(cycle.roots().empty());
    EXPECT_TRUE(cycle.packages_by_depth().empty());
    EXPECT_TRUE(cycle.first_occurrence_by_depth().empty());
    EXPECT_TRUE(DependencyMap().roots().empty());
    EXPECT_TRUE(DependencyMap().packages_by_depth(3).empty());
}

// A package of several extras is reached through its single-extra variants
// and returns as an empty-set key through the package that lists it.
TEST(DependencyMapTest, ExtractReachesVariantsOfPackagesWithSeveralExtras) {
    const DependencyMap map = app_map();
    const DependencyMap group = map.extract_from_roots({pkg("app")});
    EXPECT_EQ(texts(group.packages()), (Texts{"app", "scipy[develop,test]", "scipy", "numpy", "pytest", "mypy",
                                              "scipy[test]", "scipy[develop]"}));
    EXPECT_EQ(texts(group.get(pkg("scipy[develop,test]"))), (Texts{"mypy", "numpy", "pytest"}));
    EXPECT_EQ(texts(group.roots()), Texts{"app"});
    EXPECT_EQ(texts(group.first_occurrence_by_depth()),
              (std::vector<Texts>{{"app"}, {"scipy[develop,test]"}, {"mypy", "numpy", "pytest"}}));

    // As a root it leaves its variants as the roots of the group.
    const DependencyMap direct = map.extract_from_roots({pkg("scipy[develop,test]")});
    EXPECT_EQ(texts(direct.roots()), (Texts{"scipy[develop]", "scipy[test]"}));
    EXPECT_FALSE(direct.contains(pkg("app")));
    EXPECT_EQ(map.size(), 8u);  // the source map is unchanged
}

// A root whose extra adds nothing brings its base package, and the base's
// dependencies are followed like any other: the group holds the whole closure.
TEST(DependencyMapTest, ExtractFollowsTheBaseOfAnUnknownExtra) {
    const DependencyMap map =
        DependencyMap::from_string_mapping({{"a", {"b[y]"}}, {"b", {"c"}}, {"c", {"d"}}, {"b[y]", {}}});
    const DependencyMap group = map.extract_from_roots({pkg("a[x]")});
    EXPECT_EQ(texts(group.packages()), (Texts{"a", "b[y]", "b", "c", "d"}));
    EXPECT_EQ(texts(group.get(pkg("b[y]"))), Texts{"c"});
    EXPECT_EQ(texts(group.get(pkg("c"))), Texts{"d"});
}

TEST(DependencyMapTest, DiamondChainStreamsEveryDuplicate) {
    const DependencyMap map = diamond_chain(20);
    std::size_t count = 0;
    std::size_t deepest = 0;
    map.for_each_by_depth(std::nullopt, [&](std::size_t depth, const Package&) {
        ++count;
        deepest = depth;
    });
    EXPECT_EQ(count, 4'194'301u);
    EXPECT_EQ(deepest, 40u);
    const auto first = map.first_occurrence_by_depth();
    EXPECT_EQ(first.size(), 41u);
    EXPECT_EQ(texts(first.back()), Texts{"t20"});
    EXPECT_EQ(texts(diamond_chain(2).packages_by_depth()),
              (std::vector<Texts>{
                  {"t0"}, {"t0l", "t0r"}, {"t1", "t1"}, {"t1l", "t1r", "t1l", "t1r"}, {"t2", "t2", "t2", "t2"}}));
}

// --- reference implementations straight from the definitions ---------------

std::vector<Package> naive_roots(const DependencyMap& map) {
    std::unordered_set<Package> required;
    for (const Package& key : map.packages()) {
        for (const Package& d : map.get(key)) required.insert(d);
    }
    std::vector<Package> candidates;
    for (const Package& key : map.packages()) {
        if (!required.count(key)) candidates.push_back(key);
    }
    std::vector<Package> out;
    for (const Package& c : candidates) {
        bool drop = false;
        for (const Package& o : candidates) drop = drop || (o != c && c.included_in(o));
        for (const Package& r : required) drop = drop || c.included_in(r);
        if (!drop) out.push_back(c);
    }
    std::sort(out.begin(), out.end(), [](const Package& a, const Package& b) { return a.to_string() < b.to_string(); });
    return out;
}

std::vector<std::vector<Package>> naive_layers(const DependencyMap& map) {
    std::vector<std::vector<Package>> layers;
    std::unordered_set<Package> seen;
    std::vector<Package> current = naive_roots(map);
    while (!current.empty()) {
        layers.push_back(current);
        seen.insert(current.begin(), current.end());
        std::vector<Package> next;
        for (const Package& p : current) {
            for (const Package& d : map.get(p)) {
                if (!seen.count(d)) next.push_back(d);
            }
        }
        current = std::move(next);
    }
    return layers;
}

TEST(DependencyMapTest, QueriesAgreeWithDefinitionsOnRandomMaps) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        DependencyMap map = random_map(seed);
        ASSERT_EQ(texts(map.roots()), texts(naive_roots(map))) << seed;
        const auto layers = naive_layers(map);
        ASSERT_EQ(texts(map.packages_by_depth()), texts(layers)) << seed;
        // Cut from the start and from the end: the layers are walked as they
        // are listed, and a cut from the end counts them first.
        const auto n = static_cast<int>(layers.size());
        for (const int max_depth : {0, 1, -1, -2}) {
            const int s = max_depth + 1;
            const int kept = s >= 0 ? std::min(s, n) : std::max(n + s, 0);
            const std::vector<std::vector<Package>> cut(layers.begin(), layers.begin() + kept);
            ASSERT_EQ(texts(map.packages_by_depth(max_depth)), texts(cut)) << seed << " " << max_depth;
        }
        std::vector<Package> flat_first;
        for (const auto& layer : map.first_occurrence_by_depth()) {
            flat_first.insert(flat_first.end(), layer.begin(), layer.end());
        }
        std::vector<Package> dedup;
        std::unordered_set<Package> seen;
        for (const auto& layer : layers) {
            for (const Package& p : layer) {
                if (seen.insert(p).second) dedup.push_back(p);
            }
        }
        ASSERT_EQ(texts(flat_first), texts(dedup)) << seed;

        // Every extracted group is closed under `get` and keeps the source sets.
        const std::vector<Package> keys = map.packages();
        const DependencyMap group = map.extract_from_roots({keys[seed % keys.size()]});
        for (const Package& key : group.packages()) {
            for (const Package& d : group.get(key)) ASSERT_TRUE(group.contains(d)) << seed;
            if (key.extras().size() >= 2) continue;
            // A variant listed only as a dependency gains its base set when
            // the group adds it with dependencies.
            std::set<std::string> expected;
            for (const Package& d : map.get(key)) expected.insert(d.to_string());
            if (key.has_extras()) {
                for (const Package& d : map.get(key.base())) expected.insert(d.to_string());
            }
            const Texts got = texts(group.get(key));
            ASSERT_EQ(got, Texts(expected.begin(), expected.end())) << seed << key;
        }
        // Removal: no key of the removed name and no mention of it remain.
        const Package victim = keys[(seed * 7) % keys.size()].base();
        map.remove_package(victim);
        for (const Package& key : map.packages()) {
            ASSERT_NE(key.name(), victim.name()) << seed;
            for (const Package& d : map.get(key)) ASSERT_TRUE(map.contains(d)) << seed;
        }
        ASSERT_EQ(texts(map.roots()), texts(naive_roots(map))) << seed;
    }
}

}  // namespace
}  // namespace quorl
