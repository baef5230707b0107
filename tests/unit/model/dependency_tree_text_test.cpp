#include <gtest/gtest.h>

#include "model/dependency_map.h"
#include "model/dependency_map_examples.h"
#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

std::string tree(const DependencyMap::StringMapping& mapping) {
    return DependencyMap::from_string_mapping(mapping).to_string();
}

TEST(DependencyTreeTextTest, DrawsSharedSubtreesUnderEveryParent) {
    EXPECT_EQ(examples::abcde().to_string(),
              "A\n"
              "├── B\n"
              "│   └── D\n"
              "│       └── E\n"
              "└── C\n"
              "    └── D\n"
              "        └── E");
}

TEST(DependencyTreeTextTest, MarksWhatOnlyExtrasBringIn) {
    const DependencyMap scipy = examples::scipy_map();
    EXPECT_EQ(scipy.to_string(), "scipy[test]\n├── numpy\n└── pytest  => [test]");
    EXPECT_EQ(scipy.to_string(false), "scipy[test]\n├── numpy\n└── pytest");

    const DependencyMap app = examples::app_map();
    const std::string expected =
        "app\n"
        "└── scipy[develop,test]\n"
        "    ├── mypy  => [develop]\n"
        "    ├── numpy\n"
        "    └── pytest  => [develop,test]";
    EXPECT_EQ(app.to_string(), expected);
    // The group of app draws the same tree.
    EXPECT_EQ(app.extract_from_roots({Package::from_string("app")}).to_string(), expected);
    // Without the combined package its variants are the roots: two blocks.
    EXPECT_EQ(app.extract_from_roots({Package::from_string("scipy[develop,test]")}).to_string(),
              "scipy[develop]\n"
              "├── mypy  => [develop]\n"
              "├── numpy\n"
              "└── pytest  => [develop]\n"
              "scipy[test]\n"
              "├── numpy\n"
              "└── pytest  => [test]");
}

TEST(DependencyTreeTextTest, CyclesAreClosedOnceAndCycleOnlyMapsFail) {
    EXPECT_EQ(tree({{"A", {"B"}}, {"B", {"C"}}, {"C", {"B"}}}), "A\n└── B\n    └── C\n        └── B");
    for (const DependencyMap& map :
         {DependencyMap::from_string_mapping({{"a", {"b"}}, {"b", {"a"}}}), DependencyMap()}) {
        EXPECT_EQ(test::expect_error_message<ValueError>([&] { (void)map.to_string(); }),
                  "Dependency map only contains cycles.");
    }
}

// The command writes the tree line by line; the lines must be exactly what
// to_string joins, and a cycle-only map must fail before any line.
TEST(DependencyTreeTextTest, TreeLinesAreTheLinesOfTheText) {
    for (const DependencyMap& map : {examples::abcde(), examples::app_map(), examples::scipy_map()}) {
        std::string joined;
        std::size_t lines = 0;
        map.for_each_tree_line(true, [&](std::string_view line) {
            joined += (lines++ ? "\n" : "") + std::string(line);
            EXPECT_EQ(line.find('\n'), std::string_view::npos);
        });
        EXPECT_EQ(joined, map.to_string());
    }
    std::size_t lines = 0;
    EXPECT_THROW(DependencyMap::from_string_mapping({{"a", {"b"}}, {"b", {"a"}}})
                     .for_each_tree_line(true, [&](std::string_view) { ++lines; }),
                 ValueError);
    EXPECT_EQ(lines, 0u);
}

}  // namespace
}  // namespace quorl
