#include "python/canonical_name.h"

#include <gtest/gtest.h>

namespace quorl {
namespace {

TEST(CanonicalNameTest, FoldsCaseAndSeparatorRuns) {
    EXPECT_EQ(canonical_name("Foo.Bar__baz-_-qux"), "foo-bar-baz-qux");
    EXPECT_EQ(canonical_name("PyYAML"), "pyyaml");
}

}  // namespace
}  // namespace quorl
