#include "pep/requirement.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

struct Parsed {
    const char* line;
    const char* name;
    std::vector<std::string> extras;
    const char* specifier;
    const char* url;
    const char* marker;  // canonical text; "" when none
};

TEST(RequirementTest, ParsesEveryPart) {
    const std::vector<Parsed> cases = {
        {"numpy", "numpy", {}, "", "", ""},
        {"  Foo.Bar_baz-2  ", "Foo.Bar_baz-2", {}, "", "", ""},
        {"requests[socks, security]>=2.0", "requests", {"socks", "security"}, ">=2.0", "", ""},
        {"a[ ]", "a", {}, "", "", ""},
        {"pytest (>=6, !=7.0.*) ; extra == 'test'", "pytest", {}, ">=6,!=7.0.*", "", "extra == \"test\""},
        {"b~=1.4.2,<2;python_version<'3.8'", "b", {}, "~=1.4.2,<2", "", "python_version < \"3.8\""},
        {"c===weird-1 ; os_name == \"nt\"", "c", {}, "===weird-1", "", "os_name == \"nt\""},
        {"d == 1.0+local", "d", {}, "==1.0+local", "", ""},
        {"e >=1.0,", "e", {}, ">=1.0", "", ""},
        {"pip @ https://example.org/pip-1.0.whl", "pip", {}, "", "https://example.org/pip-1.0.whl", ""},
        {"x[y]@ file:///tmp/x.whl ; extra == 'z'", "x", {"y"}, "", "file:///tmp/x.whl", "extra == \"z\""},
        // Without white space the ";" is part of the URL.
        {"x @ https://h/x.whl;extra=='z'", "x", {}, "", "https://h/x.whl;extra=='z'", ""},
    };
    for (const Parsed& c : cases) {
        const Requirement r = parse_requirement(c.line);
        EXPECT_EQ(r.name, c.name) << c.line;
        EXPECT_EQ(r.extras, c.extras) << c.line;
        EXPECT_EQ(r.specifier, c.specifier) << c.line;
        EXPECT_EQ(r.url, c.url) << c.line;
        EXPECT_EQ(r.marker ? r.marker->to_string() : "", c.marker) << c.line;
    }
}

TEST(RequirementTest, RejectsInvalidLines) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"", "Expected package name at the start of dependency specifier at position 0"},
        {"-foo", "Expected package name"},
        {"foo-", "Expected end or semicolon at position 3"},
        {"foo 1.0", "Expected end or semicolon"},
        {"foo >=", "Expected a valid version after '>=' at position 6"},
        {"foo >=1.0.*", "Expected a valid version after '>='"},
        {"foo ~=1", "Expected a valid version after '~='"},
        {"foo[a b]", "Expected comma between extra names"},
        {"foo[a,]", "Expected extra name after comma"},
        {"foo[a", "Expected matching right bracket for '[' at position 3"},
        {"foo (>=1", "Expected matching right parenthesis for '('"},
        {"foo @ ", "Expected URL after @"},
        {"foo @ not-a-url", "Invalid URL: not-a-url"},
        {"foo==5\x1f,<6", "Expected end or semicolon at position 6"},
        {"foo ; ", "Expected a marker variable or quoted string at position 6"},
        {"foo ; python_version < '3' junk", "Expected end of marker"},
    };
    for (const auto& [line, message] : cases) {
        SCOPED_TRACE(line);
        const std::string error = test::expect_error_message<ValueError>([&] { parse_requirement(line); });
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(RequirementTest, ErrorOfADistributionLineNamesTheDistributionAndQuotesTheLine) {
    EXPECT_EQ(test::expect_error_message<ValueError>(
                  [] { parse_requirement_of("foo >=", "Bar", "/site/bar-1.0.dist-info"); }),
              "Invalid requirement 'foo >=' of distribution Bar (/site/bar-1.0.dist-info): "
              "Expected a valid version after '>=' at position 6");
}

}  // namespace
}  // namespace quorl
