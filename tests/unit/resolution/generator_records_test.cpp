#include <gtest/gtest.h>

#include "resolution/generator_input.h"
#include "resolution/generator_output.h"

namespace quorl {
namespace {

TEST(GeneratorInputTest, DefaultsAndTxtPathJoining) {
    const GeneratorInput defaults("req.in");
    EXPECT_EQ(defaults.output_path(), ".");
    EXPECT_EQ(defaults.txt_name(), "quorl_runtime_pinned_versions.txt");
    EXPECT_TRUE(defaults.extras_list().empty());
    EXPECT_TRUE(defaults.trusted_domain_list().empty());
    EXPECT_EQ(defaults.txt_path(), "quorl_runtime_pinned_versions.txt");

    struct Case {
        const char* output_path;
        const char* txt_name;
        const char* txt_path;
    };
    const std::vector<Case> cases = {
        {"build", "pins.txt", "build/pins.txt"},
        {"", "pins.txt", "pins.txt"},
        {"./build/./sub/", "pins.txt", "build/sub/pins.txt"},
        {"/abs/dir", "pins.txt", "/abs/dir/pins.txt"},
        {"build", "/elsewhere/pins.txt", "/elsewhere/pins.txt"},
        {"..", "pins.txt", "../pins.txt"},
    };
    for (const Case& c : cases) {
        const GeneratorInput input("req.in", c.output_path, c.txt_name);
        EXPECT_EQ(input.txt_path(), c.txt_path) << c.output_path << " + " << c.txt_name;
    }
}

TEST(GeneratorInputTest, AssignmentsRerunTheRulesAndTxtPathFollows) {
    GeneratorInput input("req.in", "build", "pins.txt");
    input.set_output_path("out");
    EXPECT_EQ(input.txt_path(), "out/pins.txt");
    input.set_output_path("");
    EXPECT_EQ(input.output_path(), ".");
    EXPECT_EQ(input.txt_path(), "pins.txt");
    input.set_txt_name("other.txt");
    EXPECT_EQ(input.txt_path(), "other.txt");
}

}  // namespace
}  // namespace quorl
