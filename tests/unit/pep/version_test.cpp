#include "pep/version.h"

#include <gtest/gtest.h>

namespace quorl {
namespace {

Version v(const char* text) {
    std::optional<Version> parsed = parse_version(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(Version{});
}

TEST(VersionTest, RejectsTextThatIsNoVersion) {
    for (const char* bad :
         {"", "abc", "1.", "1..2", "1.0+", "1.0+a..b", "6.1.0-18-amd64", "1.0 extra", "99999999999999999999999"}) {
        EXPECT_FALSE(parse_version(bad).has_value()) << bad;
    }
}

TEST(VersionTest, OrdersAsPep440) {
    // Each version sorts strictly before the next.
    const std::vector<const char*> ascending = {
        "1.0.dev1", "1.0a1.dev1",     "1.0a1",     "1.0.0b2", "1.0rc1", "1.0c2", "1.0",  "1.0+abc",
        "1.0+5",    "1.0.post1.dev1", "1.0.post1", "1.0.1",   "1.1",    "3.8",   "3.10", "1!0.1",
    };
    for (std::size_t i = 0; i + 1 < ascending.size(); ++i) {
        EXPECT_LT(compare_versions(v(ascending[i]), v(ascending[i + 1])), 0)
            << ascending[i] << " < " << ascending[i + 1];
        EXPECT_GT(compare_versions(v(ascending[i + 1]), v(ascending[i])), 0);
    }
    // Alternative spellings of one version.
    EXPECT_EQ(compare_versions(v("1.0"), v("1.0.0")), 0);
    EXPECT_EQ(compare_versions(v("V1.0-POST-1"), v("1.0.post1")), 0);
    EXPECT_EQ(compare_versions(v("1.0-1"), v("1.0.post1")), 0);
    EXPECT_EQ(compare_versions(v("1.0alpha"), v("1.0a0")), 0);
    EXPECT_EQ(compare_versions(v("1.0-preview2"), v("1.0rc2")), 0);
    EXPECT_EQ(compare_versions(v("1.0_dev"), v("1.0.dev0")), 0);
}

struct Clause {
    const char* version;
    VersionOperator op;
    const char* spec;
    bool expected;
};

TEST(VersionTest, SatisfiesSpecifierClauses) {
    using Op = VersionOperator;
    const std::vector<Clause> cases = {
        {"3.11", Op::Equal, "3.11", true},        {"3.11.2", Op::Equal, "3.11", false},
        {"3.11.2", Op::Equal, "3.11.*", true},    {"3.11.0rc1", Op::Equal, "3.11.*", true},
        {"3.1", Op::Equal, "3.11.*", false},      {"3.11", Op::NotEqual, "3.11.*", false},
        {"1.0+local", Op::Equal, "1.0", true},    {"1.0+local", Op::Equal, "1.0+other", false},
        {"3.8", Op::Less, "3.10", true},          {"3.11", Op::Less, "3.8", false},
        {"1.0rc1", Op::Less, "1.0", false},       {"1.0rc1", Op::Less, "1.0rc2", true},
        {"0.9rc1", Op::Less, "1.0", true},        {"1.0.post1", Op::Greater, "1.0", false},
        {"1.0+local", Op::Greater, "1.0", false}, {"1.1", Op::Greater, "1.0", true},
        {"3.11", Op::LessEqual, "3.11", true},    {"3.11", Op::GreaterEqual, "3.12", false},
        {"2.2.5", Op::Compatible, "2.2", true},   {"3.0", Op::Compatible, "2.2", false},
        {"2.2.5", Op::Compatible, "2.2.3", true}, {"2.3", Op::Compatible, "2.2.3", false},
    };
    for (const Clause& c : cases) {
        EXPECT_EQ(version_satisfies(v(c.version), c.op, c.spec), std::optional<bool>(c.expected))
            << c.version << " against " << c.spec;
    }
}

TEST(VersionTest, RejectsInvalidSpecifierClauses) {
    using Op = VersionOperator;
    EXPECT_FALSE(is_valid_specifier(Op::GreaterEqual, "1.0.*"));
    EXPECT_FALSE(is_valid_specifier(Op::Less, "1.0+local"));
    EXPECT_FALSE(is_valid_specifier(Op::Compatible, "1"));
    EXPECT_FALSE(is_valid_specifier(Op::Equal, "1.0a1.*"));
    EXPECT_FALSE(is_valid_specifier(Op::Equal, "linux"));
    EXPECT_TRUE(is_valid_specifier(Op::NotEqual, "1!2.0.*"));
    EXPECT_FALSE(version_satisfies(v("1.0"), Op::Less, "x").has_value());
}

}  // namespace
}  // namespace quorl
