#include "support/pure_path.h"

#include <gtest/gtest.h>

namespace quorl::pure_path {
namespace {

TEST(PurePathTest, NameAndParentIgnoreEmptyAndDotComponents) {
    struct Case {
        const char* path;
        const char* name;
        const char* parent;
    };
    for (const Case& c : std::initializer_list<Case>{{"out/x/", "x", "out"},
                                                     {"out//x//", "x", "out"},
                                                     {"./x/.", "x", "."},
                                                     {"x", "x", "."},
                                                     {"/x", "x", "/"},
                                                     {"a/..", "..", "a"},
                                                     {".", "", "."},
                                                     {"", "", "."},
                                                     {"/", "", "/"}}) {
        EXPECT_EQ(name(c.path), c.name) << c.path;
        EXPECT_EQ(parent(c.path).string(), c.parent) << c.path;
    }
}

}  // namespace
}  // namespace quorl::pure_path
