#include "support/pure_path.h"

#include <gtest/gtest.h>

namespace quorl::pure_path {
namespace {

TEST(PurePathTest, NameAndParentIgnoreEmptyAndDotComponents) {
    // path, name, parent
    const char* cases[][3] = {{"out/x/", "x", "out"}, {"out//x//", "x", "out"}, {"./x/.", "x", "."}, {"/x", "x", "/"},
                              {"a/..", "..", "a"},    {".", "", "."},           {"", "", "."},       {"/", "", "/"}};
    for (const auto& [path, expected_name, expected_parent] : cases) {
        EXPECT_EQ(name(path), expected_name) << path;
        EXPECT_EQ(parent(path).string(), expected_parent) << path;
    }
}

}  // namespace
}  // namespace quorl::pure_path
