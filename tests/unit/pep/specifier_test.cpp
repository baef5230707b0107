#include "pep/specifier.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/errors.h"
#include "support/process.h"
#include "support/text.h"

namespace quorl {
namespace {

// Every row of a generated table of specifiers and installed versions agrees
// with python3-packaging's verdict (specifier_table.py beside this file).
TEST(SpecifierTest, AgreesWithPackagingOnAGeneratedTable) {
    const std::filesystem::path python = "/usr/bin/python3";
    if (!std::filesystem::exists(python)) GTEST_SKIP() << "no " << python;
    const std::filesystem::path script = std::filesystem::path(__FILE__).parent_path() / "specifier_table.py";
    const ProcessResult table =
        run_process({python.string(), script.string()}, {StreamMode::Capture, StreamMode::Capture});
    ASSERT_EQ(table.exit_status, 0) << table.err << "(scripts/setup.sh installs python3-packaging)";

    std::size_t rows = 0;
    for (const std::string& row : text::split_lines(table.out)) {
        const std::vector<std::string> fields = text::split(row, "\t");
        ASSERT_EQ(fields.size(), 3u) << row;
        EXPECT_EQ(SpecifierSet::parse(fields[0]).contains(fields[1]), fields[2] == "1")
            << "'" << fields[0] << "' contains " << fields[1];
        ++rows;
    }
    EXPECT_GT(rows, 1000u);
}

TEST(SpecifierTest, RejectsInvalidClausesAndJudgesNonVersionsByText) {
    for (const char* bad : {"~=1", "<1.0+local", ">=1.*", "=>1.0", "1.0", "==", "===", ">=1.0,banana"}) {
        EXPECT_THROW(SpecifierSet::parse(bad), ValueError) << bad;
    }
    EXPECT_TRUE(SpecifierSet::parse(" , ").empty());
    // No ordering is defined for a text that is no version.
    EXPECT_TRUE(SpecifierSet::parse("").contains("custom-build"));
    EXPECT_TRUE(SpecifierSet::parse("===Custom-Build").contains("custom-build"));
    EXPECT_FALSE(SpecifierSet::parse(">=0").contains("custom-build"));
    EXPECT_FALSE(SpecifierSet::parse("!=1.0").contains(""));
}

}  // namespace
}  // namespace quorl
