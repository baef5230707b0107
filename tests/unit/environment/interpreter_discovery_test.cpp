#include "environment/interpreter_discovery.h"
#include "environment/interpreter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/errors.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

// The venv holding the executable, and a .venv two levels above the working
// directory. Which of two real venvs wins is tested end to end; these are the
// cases that need venvs no test can make with pipx or a broken interpreter.
class InterpreterDiscoveryTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("quorl-discovery-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* venv : {"own", "work/.venv"}) {
            fs::create_directories(root_ / venv / "bin");
            std::ofstream(root_ / venv / "bin" / "python") << "#!/bin/sh\n";
            fs::permissions(root_ / venv / "bin" / "python", fs::perms::owner_all);
            std::ofstream(root_ / venv / "pyvenv.cfg") << "home = /usr/bin\n";
        }
        fs::create_directories(root_ / "work" / "sub" / "deeper");
        search_.executable = root_ / "own" / "bin" / "quorl-python-dependencies";
        search_.working_directory = root_ / "work" / "sub" / "deeper";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
    InterpreterSearch search_;
};

TEST_F(InterpreterDiscoveryTest, ToolEnvironmentOfTheExecutableIsPassedOver) {
    EXPECT_EQ(choose_interpreter(search_).interpreter, root_ / "own" / "bin" / "python");
    for (const char* bookkeeping : {"pipx_metadata.json", "uv-receipt.toml"}) {
        std::ofstream(root_ / "own" / bookkeeping) << "{}\n";
        EXPECT_EQ(choose_interpreter(search_).interpreter, root_ / "work" / ".venv" / "bin" / "python");
        fs::remove(root_ / "own" / bookkeeping);
    }
}

TEST_F(InterpreterDiscoveryTest, NamedCandidateWithoutInterpreterIsAnErrorNotAFallThrough) {
    fs::remove(root_ / "own" / "bin" / "python");
    EXPECT_THROW(choose_interpreter(search_), QuorlError);
    InterpreterSearch search = search_;
    search.virtual_env = (root_ / "own").string();
    try {
        choose_interpreter(search);
        FAIL();
    } catch (const QuorlError& error) {
        EXPECT_EQ(std::string(error.what()), "VIRTUAL_ENV=" + (root_ / "own").string() +
                                                 " has no executable Python interpreter " +
                                                 (root_ / "own" / "bin" / "python").string());
    }
}

}  // namespace
}  // namespace quorl

namespace quorl {
namespace {

// The launchers pip and package managers write for a script, and what runs it.
TEST(ScriptInterpreterTest, NamesTheInterpreterOfEachLauncher) {
    const fs::path script = fs::temp_directory_path() / ("quorl-script-" + std::to_string(::getpid()));
    const std::pair<const char*, fs::path> cases[] = {
        {"#!/venv/bin/python\nimport sys\n", "/venv/bin/python"},
        {"#!/venv/bin/python3 -I\n", "/venv/bin/python3"},
        {"#!/bin/sh\n'''exec' \"/a very/long/bin/python\" \"$0\" \"$@\"\n' '''\n", "/a very/long/bin/python"},
        {"#!/usr/bin/env sh\n", find_on_path("sh")},
        {"#!/bin/sh\nexec python3 \"$@\"\n", ""},
        {"import sys\n", ""},
    };
    for (const auto& [head, expected] : cases) {
        std::ofstream(script) << head;
        EXPECT_EQ(script_interpreter(script), expected) << head;
    }
    fs::remove(script);
    EXPECT_EQ(script_interpreter(script), fs::path());
}

}  // namespace
}  // namespace quorl
