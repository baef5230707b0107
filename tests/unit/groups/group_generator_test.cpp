#include "groups/group_generator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/dependency_map.h"
#include "model/dependency_map_examples.h"
#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

using Texts = std::vector<std::string>;

class ExcludeFileTest : public testing::Test {
protected:
    std::vector<std::string> parse(const std::string& content) {
        return GroupGenerator::parse_exclude_txt(dir_.write("exclude.txt", content));
    }
    test::TemporaryDirectory dir_;
    const std::filesystem::path path_ = dir_ / "exclude.txt";
};

TEST_F(ExcludeFileTest, LinesAreStrippedAndBlankOnesKept) {
    EXPECT_EQ(parse("numpy\npandas"), (Texts{"numpy", "pandas"}));
    EXPECT_EQ(parse("numpy\npandas\n"), (Texts{"numpy", "pandas"}));
    EXPECT_EQ(parse("  numpy \r\n\r\n\tpandas\r\n"), (Texts{"numpy", "", "pandas"}));
    EXPECT_EQ(parse("a\rb\xE2\x80\xA8"
                    "c\n\na"),
              (Texts{"a", "b", "c", "", "a"}));
}

TEST_F(ExcludeFileTest, MissingFileIsEmptyButUnreadableOrUndecodableFails) {
    EXPECT_EQ(GroupGenerator::parse_exclude_txt(path_), Texts{});
    EXPECT_THROW(GroupGenerator::parse_exclude_txt(dir_.path()), OsError);
    EXPECT_THROW(parse("numpy\n\xFF\xFE\n"), ValueError);
    const std::string message = test::expect_error_message<ValueError>([&] { parse("numpy\nsci\\\npy[x\n"); });
    EXPECT_EQ(message.rfind(path_.string() + ", line 2: ", 0), 0u) << message;
}

TEST_F(ExcludeFileTest, ByteOrderMarkSkippedAndContinuationsJoined) {
    EXPECT_EQ(parse("\xEF\xBB\xBFsix\nnum\\\npy\n\nlast \\"), (Texts{"six", "numpy", "", "last"}));
}

TEST(GroupGeneratorTest, RequirementsAreListedAtTheirShallowestDepth) {
    // Roots A and B; A -> C; B -> C, D; C -> D.
    const DependencyMap env =
        DependencyMap::from_string_mapping({{"A", {"C"}}, {"B", {"C", "D"}}, {"C", {"D"}}, {"D", {}}, {"X", {}}});
    const GroupOutput out = GroupGenerator::generate_group(env, GroupInput("p", "g", {"A", "B"}));
    EXPECT_EQ(out.name, "g");
    EXPECT_EQ(out.reqs.items(), (Texts{"A", "B", "C", "D"}));
}

TEST(GroupGeneratorTest, ExclusionAppliesPerGroupAndBeforeTheDepthLimit) {
    const DependencyMap env = examples::abcde();
    const std::vector<GroupOutput> outs = GroupGenerator::generate_groups(
        env, {GroupInput("p", "one", {"A"}), GroupInput("p", "two", {"B"})}, Texts{"D"});
    // Removing D leaves E without a parent: it becomes a root.
    EXPECT_EQ(outs[0].reqs.items(), (Texts{"A", "E", "B", "C"}));
    EXPECT_EQ(outs[1].reqs.items(), (Texts{"B", "E"}));

    EXPECT_EQ(GroupGenerator::generate_group(env, GroupInput("p", "g", {"A"}), {}, 1).reqs.items(),
              (Texts{"A", "B", "C"}));
    EXPECT_EQ(GroupGenerator::generate_group(env, GroupInput("p", "g", {"A"}), {}, -1).reqs.items(), Texts{});
    // The shared environment is untouched by a group's exclusions.
    EXPECT_EQ(env.size(), 5u);
}

TEST(GroupGeneratorTest, FirstOccurrencesMatchTheDeduplicatedLayers) {
    const DependencyMap env = examples::diamond_chain(6);
    std::vector<std::vector<std::string>> layers;
    for (const auto& layer : env.packages_by_depth()) {
        layers.emplace_back();
        for (const Package& package : layer) layers.back().push_back(package.to_string());
    }
    EXPECT_EQ(GroupGenerator::generate_group(env, GroupInput("p", "g", {"t0"})).reqs,
              GroupGenerator::compose_sorted_dependencies(layers));
}

TEST(GroupGeneratorTest, ResultsByNameKeepFirstPositionAndLastList) {
    const std::vector<GroupOutput> outputs{GroupOutput("g1", Texts{"x"}), GroupOutput("g2", Texts{"z", "w"}),
                                           GroupOutput("g1", Texts{"y"})};
    std::vector<GroupOutput> moved = outputs;
    // Copied, and moved out of the outputs (which are left empty): the same.
    for (const GroupRequirements& dict : {GroupGenerator::from_group_outputs_to_req_dict(outputs),
                                          GroupGenerator::from_group_outputs_to_req_dict(std::move(moved))}) {
        ASSERT_EQ(dict.size(), 2u);
        EXPECT_EQ(dict.entries()[0], (GroupRequirements::Entry{"g1", {"y"}}));
        EXPECT_EQ(dict.entries()[1], (GroupRequirements::Entry{"g2", {"z", "w"}}));
    }
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(outputs[1].reqs.items(), (Texts{"z", "w"}));
}

TEST(GroupGeneratorTest, AnInvalidRootFailsTheWholeCall) {
    const DependencyMap env = examples::abcde();
    EXPECT_THROW(
        GroupGenerator::generate_groups(env, {GroupInput("p", "ok", {"A"}), GroupInput("p", "bad", {"a[b][c]"})}),
        ValueError);
}

}  // namespace
}  // namespace quorl
