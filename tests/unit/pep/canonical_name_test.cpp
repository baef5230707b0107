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

// The listing of an environment finds entries by these: the canonical name
// of the text before each "-" must be the prefix of that length, and a name
// is canonical exactly when making it canonical changes nothing.
TEST(CanonicalNameTest, DashPrefixesAndTheCanonicalTest) {
    for (const std::string name : {"Foo_Bar-1.0", "a_-_-b", "-x-", "zz_Mixed..Name-9-1.2", "", "foo--bar", "Ab-c"}) {
        SCOPED_TRACE(name);
        std::string out = "kept";
        std::vector<std::size_t> prefixes;
        append_canonical(name, out, prefixes);
        EXPECT_EQ(out, "kept" + canonical_name(name));
        std::vector<std::size_t> expected;
        for (std::size_t i = name.find('-'); i != std::string::npos; i = name.find('-', i + 1)) {
            const std::string before = canonical_name(name.substr(0, i));
            EXPECT_EQ(out.substr(4, before.size()), before);
            expected.push_back(before.size());
        }
        EXPECT_EQ(prefixes, expected);
        EXPECT_EQ(is_canonical(name), canonical_name(name) == name);
        EXPECT_TRUE(is_canonical(canonical_name(name)));
    }
}

}  // namespace
}  // namespace quorl
