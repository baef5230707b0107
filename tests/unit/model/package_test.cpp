#include "model/package.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

struct Parsed {
    const char* input;
    const char* name;
    std::vector<std::string> extras;
    const char* text;
};

TEST(PackageTest, FromStringParsesNamesAndExtras) {
    const std::vector<Parsed> cases = {
        {"scipy[test]", "scipy", {"test"}, "scipy[test]"},
        {"scipy[test,develop]", "scipy", {"test", "develop"}, "scipy[test,develop]"},
        {"scipy[ test , develop ]", "scipy", {"test", "develop"}, "scipy[test,develop]"},
        {"typing_extensions", "typing-extensions", {}, "typing-extensions"},
        {"zope.interface", "zope-interface", {}, "zope-interface"},
        {"PyYAML", "PyYAML", {}, "PyYAML"},
        {"a[dev_tools]", "a", {"dev_tools"}, "a[dev_tools]"},
        {"a[]", "a", {""}, "a[]"},
        {" lead", " lead", {}, " lead"},
        {"a[x] ", "a", {"x"}, "a[x]"},
    };
    for (const Parsed& c : cases) {
        const Package p = Package::from_string(c.input);
        EXPECT_EQ(p.name(), c.name) << c.input;
        EXPECT_EQ(p.extras(), c.extras) << c.input;
        EXPECT_EQ(p.to_string(), c.text) << c.input;
    }
}

TEST(PackageTest, FromStringRejectsMoreThanOneOpeningBracket) {
    EXPECT_EQ(test::expect_error_message<ValueError>([] { Package::from_string("a[b][c]"); }),
              "too many values to unpack (expected 2)");
}

TEST(PackageTest, FromStringRejectsUnclosedOrStrayBrackets) {
    for (const char* input : {"a[x", "a[x]y", "a[x]]", "a["}) {
        SCOPED_TRACE(input);
        const std::string message = test::expect_error_message<ValueError>([&] { Package::from_string(input); });
        EXPECT_NE(message.find(std::string("'") + input + "'"), std::string::npos) << message;
    }
}

TEST(PackageTest, EqualityAndHashFollowNameAndOrderedExtras) {
    EXPECT_NE(Package::from_string("a[]"), Package("a"));
    EXPECT_EQ(Package("a"), Package("a", {}));
    const Package xy("a", {"x", "y"});
    const Package yx("a", {"y", "x"});
    EXPECT_NE(xy, yx);
    EXPECT_NE(xy.to_string(), yx.to_string());
    EXPECT_TRUE(xy.included_in(yx));
    EXPECT_TRUE(yx.included_in(xy));
    EXPECT_EQ(std::hash<Package>{}(Package("a_b")), std::hash<Package>{}(Package("a-b")));
}

TEST(PackageTest, IncludedInIsExtrasSubsetOfSameName) {
    EXPECT_TRUE(Package("scipy").included_in(Package("scipy")));
    EXPECT_TRUE(Package("scipy").included_in(Package("scipy", {"test"})));
    EXPECT_FALSE(Package("scipy", {"test"}).included_in(Package("scipy")));
    EXPECT_TRUE(Package("scipy", {"test"}).included_in(Package("scipy", {"test", "develop"})));
    EXPECT_FALSE(Package("scipy").included_in(Package("numpy")));
}

}  // namespace
}  // namespace quorl
