#include "cli/group_string.h"

#include <gtest/gtest.h>

#include "support/errors.h"
#include "test_support.h"

namespace quorl::cli {
namespace {

TEST(GroupStringTest, SplitsNameAndStripsEveryPiece) {
    const GroupInput group = parse_group_str("pins.txt", "  web  :  flask , requests  ");
    EXPECT_EQ(group.name(), "web");
    EXPECT_EQ(group.groups(), (std::vector<std::string>{"flask", "requests"}));
    EXPECT_EQ(group.requirements_path(), "pins.txt");
}

TEST(GroupStringTest, EmptyPiecesStay) {
    EXPECT_EQ(parse_group_str("p", "web:").groups(), (std::vector<std::string>{""}));
    EXPECT_EQ(parse_group_str("p", "web:a,,b").groups(), (std::vector<std::string>{"a", "", "b"}));
}

TEST(GroupStringTest, NeedsExactlyOneColon) {
    struct Case {
        const char* input;
        const char* message;
    };
    for (const Case& c : {Case{"web", "not enough values to unpack (expected 2, got 1)"},
                          Case{"a:b:c", "too many values to unpack (expected 2)"},
                          Case{"a::", "too many values to unpack (expected 2)"}}) {
        EXPECT_EQ(test::expect_error_message<ValueError>([&] { parse_group_str("p", c.input); }), c.message) << c.input;
    }
}

}  // namespace
}  // namespace quorl::cli
