#include "environment/interpreter_facts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "environment/distribution_reader.h"
#include "support/errors.h"
#include "test_support.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

using namespace std::string_literals;

TEST(PythonEnvironmentTest, ParsesTheAnswerBetweenWhateverElseWasPrinted) {
    const std::string answer =
        "printed by a .pth file\n"
        "\0quorl-environment-1\0/venv/bin/python\0cpython\0003.11.2\0posix\0x86_64\0CPython\0"
        "6.1\0Linux\0#1 SMP\0003.11.2\0003.11\0linux\0/usr/lib/python311.zip\0/venv/site\0"
        "quorl-environment-end\0printed at exit"s;
    const InterpreterFacts env = parse_interpreter_answer(answer);
    EXPECT_EQ(env.executable, "/venv/bin/python");
    EXPECT_EQ(env.sys_path, (std::vector<std::string>{"/usr/lib/python311.zip", "/venv/site"}));
    EXPECT_EQ(env.markers.get(MarkerVariable::PythonVersion), "3.11");
    EXPECT_EQ(env.markers.get(MarkerVariable::PlatformVersion), "#1 SMP");
    EXPECT_EQ(env.markers.get(MarkerVariable::SysPlatform), "linux");
    EXPECT_THROW(parse_interpreter_answer("Traceback ..."), QuorlError);
    EXPECT_THROW(parse_interpreter_answer("\0quorl-environment-1\0/x\0quorl-environment-end\0"s), QuorlError);
    // Cut off before its end tag.
    EXPECT_THROW(parse_interpreter_answer(answer.substr(0, answer.find("quorl-environment-end"))), QuorlError);
}

TEST(PythonEnvironmentTest, ParsesTheFilesListedAfterTheAnswer) {
    const std::string answer = "\0quorl-environment-1\0/venv/bin/python\0quorl-environment-end\0"s;
    EXPECT_EQ(parse_interpreter_files(answer + "quorl-environment-files\0/a\0/b c\0quorl-environment-files-end\0"s),
              (std::vector<std::string>{"/a", "/b c"}));
    EXPECT_EQ(parse_interpreter_files(answer + "quorl-environment-files\0quorl-environment-files-end\0"s),
              std::vector<std::string>{});
    EXPECT_THROW(parse_interpreter_files(answer), QuorlError);
    EXPECT_THROW(parse_interpreter_files(answer + "quorl-environment-files\0/a\0"s), QuorlError);
}

class RealInterpreterTest : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "needs /usr/bin/python3";
    }
    test::TemporaryDirectory dir_;
};

TEST_F(RealInterpreterTest, AsksTheInterpreterAndLeavesTheWorkingDirectoryOut) {
    // A stray distribution in the working directory is not installed.
    fs::create_directories(dir_ / "stray-1.0.dist-info");
    std::ofstream(dir_ / "stray-1.0.dist-info" / "METADATA") << "Name: stray\n";
    const fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    const InterpreterFacts env = query_interpreter_facts("/usr/bin/python3");
    const std::vector<Distribution> found = InstalledDistributionReader(env.sys_path, env.markers).list_distributions();
    fs::current_path(previous);
    EXPECT_FALSE(env.executable.empty());
    EXPECT_FALSE(env.markers.get(MarkerVariable::PythonVersion).empty());
    EXPECT_EQ(env.markers.get(MarkerVariable::OsName), "posix");
    ASSERT_FALSE(env.sys_path.empty());
    EXPECT_NE(env.sys_path.front(), "");
    for (const Distribution& d : found) EXPECT_NE(d.key, "stray");
}

TEST_F(RealInterpreterTest, ABrokenOrMissingInterpreterIsOneClearError) {
    const fs::path broken = dir_ / "python";
    std::ofstream(broken)
        << "#!/bin/sh\necho 'Traceback (most recent call last):' >&2\necho 'ImportError: boom' >&2\nexit 3\n";
    fs::permissions(broken, fs::perms::owner_all);
    EXPECT_EQ(test::expect_error_message<QuorlError>([&] { query_interpreter_facts(broken); }),
              "The Python interpreter " + broken.string() +
                  " failed with exit status 3 while reading its environment: ImportError: boom");
    const std::string absent =
        test::expect_error_message<QuorlError>([&] { query_interpreter_facts(dir_ / "absent"); });
    EXPECT_NE(absent.find("Cannot run the Python interpreter " + (dir_ / "absent").string()), std::string::npos)
        << absent;
}

}  // namespace
}  // namespace quorl
