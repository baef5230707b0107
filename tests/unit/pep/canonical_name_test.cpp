#include "pep/canonical_name.h"

#include <gtest/gtest.h>

namespace quorl {
namespace {

TEST(CanonicalNameTest, FoldsCaseAndSeparatorRuns) {
    EXPECT_EQ(canonical_name("Foo.Bar__baz-_-qux"), "foo-bar-baz-qux");
    EXPECT_EQ(canonical_name("PyYAML"), "pyyaml");
    std::string in_place = "zz_Mixed..Name-1";
    make_canonical(in_place);
    EXPECT_EQ(in_place, "zz-mixed-name-1");
}

}  // namespace
}  // namespace quorl
