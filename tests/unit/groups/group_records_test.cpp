#include <gtest/gtest.h>

#include "groups/group_input.h"
#include "groups/group_output.h"

namespace quorl {
namespace {

const char* const KEBAB_WARNING =
    "WARNING: Extra data_science should be using kebab-case, see https://peps.python.org/pep-0685/\n";

TEST(GroupInputTest, UnderscoreNameWarnsOnceAndIsKept) {
    testing::internal::CaptureStderr();
    GroupInput group("reqs.txt", "data_science", {"numpy"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), KEBAB_WARNING);
    EXPECT_EQ(group.name(), "data_science");
    EXPECT_EQ(group.requirements_path(), "reqs.txt");
}

TEST(GroupInputTest, KebabDottedAndEmptyNamesAreSilent) {
    testing::internal::CaptureStderr();
    GroupInput a("r", "data-science", {});
    GroupInput b("r", "Data.Science", {});
    GroupInput c("r", "", {});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(GroupInputTest, AssigningNameRunsTheCheckAgain) {
    GroupInput group("r", "web", {"flask"});
    testing::internal::CaptureStderr();
    group.set_name("data_science");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), KEBAB_WARNING);
    EXPECT_EQ(group.name(), "data_science");
}

TEST(GroupOutputTest, ReqsKeepGivenOrderAndFirstOccurrence) {
    EXPECT_EQ(GroupOutput("g", std::vector<std::string>{"b", "a", "c"}).reqs.items(),
              (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(GroupOutput("g", std::vector<std::string>{"a", "b", "a"}).reqs.items(),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(GroupOutput("g", std::vector<std::string>{}).reqs.empty());
}

}  // namespace
}  // namespace quorl
