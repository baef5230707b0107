#include "python/interpreter_discovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/errors.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

// A tree with one of each candidate: --python, VIRTUAL_ENV, CONDA_PREFIX,
// the venv holding the executable, and a .venv two levels above the working
// directory.
class InterpreterDiscoveryTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("quorl-discovery-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* venv : {"active", "conda", "own", "work/.venv"}) make_venv(root_ / venv);
        make_program(root_ / "given" / "python");
        make_program(root_ / "own" / "bin" / "quorl-python-dependencies");
        fs::create_directories(root_ / "work" / "sub" / "deeper");
        search_.python_option = root_ / "given" / "python";
        search_.virtual_env = (root_ / "active").string();
        search_.conda_prefix = (root_ / "conda").string();
        search_.executable = root_ / "own" / "bin" / "quorl-python-dependencies";
        search_.working_directory = root_ / "work" / "sub" / "deeper";
    }
    void TearDown() override { fs::remove_all(root_); }

    static void make_program(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    static void make_venv(const fs::path& venv) {
        make_program(venv / "bin" / "python");
        std::ofstream(venv / "pyvenv.cfg") << "home = /usr/bin\n";
    }
    std::string error_of(const InterpreterSearch& search) {
        try {
            choose_interpreter(search);
        } catch (const QuorlError& error) {
            return error.what();
        }
        return "no error";
    }

    fs::path root_;
    InterpreterSearch search_;
};

TEST_F(InterpreterDiscoveryTest, FirstCandidateInOrderWins) {
    struct Row {
        const char* expected;
        const char* reason;
    };
    // Each row takes away the candidate that won the row before.
    const Row rows[] = {
        {"given/python", "given with --python"},
        {"active/bin/python", "VIRTUAL_ENV is set"},
        {"conda/bin/python", "CONDA_PREFIX is set"},
        {"own/bin/python", "holds this executable"},
        {"work/.venv/bin/python", ".venv found in "},
    };
    InterpreterSearch search = search_;
    for (const Row& row : rows) {
        const InterpreterChoice choice = choose_interpreter(search);
        EXPECT_EQ(choice.interpreter, root_ / row.expected);
        EXPECT_NE(choice.reason.find(row.reason), std::string::npos) << choice.reason;
        if (search.python_option) {
            search.python_option.reset();
        } else if (search.virtual_env && !search.virtual_env->empty()) {
            search.virtual_env = "";  // set but empty counts as unset
        } else if (search.conda_prefix) {
            search.conda_prefix.reset();
        } else {
            search.executable = root_ / "elsewhere" / "quorl-python-dependencies";
        }
    }
}

TEST_F(InterpreterDiscoveryTest, ToolEnvironmentOfTheExecutableIsPassedOver) {
    InterpreterSearch search = search_;
    search.python_option.reset();
    search.virtual_env.reset();
    search.conda_prefix.reset();
    for (const char* bookkeeping : {"pipx_metadata.json", "uv-receipt.toml"}) {
        std::ofstream(root_ / "own" / bookkeeping) << "{}\n";
        EXPECT_EQ(choose_interpreter(search).interpreter, root_ / "work" / ".venv" / "bin" / "python");
        fs::remove(root_ / "own" / bookkeeping);
    }
}

TEST_F(InterpreterDiscoveryTest, NamedCandidateWithoutInterpreterIsAnErrorNotAFallThrough) {
    InterpreterSearch search = search_;
    search.python_option = root_ / "absent";
    EXPECT_EQ(error_of(search), "--python " + (root_ / "absent").string() + ": no such file");
    search.python_option = root_ / "given";
    EXPECT_EQ(error_of(search), "--python " + (root_ / "given").string() + " is not an executable Python interpreter");

    search.python_option.reset();
    fs::remove(root_ / "active" / "bin" / "python");
    EXPECT_EQ(error_of(search), "VIRTUAL_ENV=" + (root_ / "active").string() +
                                    " has no executable Python interpreter " +
                                    (root_ / "active" / "bin" / "python").string());
    search.virtual_env.reset();
    search.conda_prefix.reset();
    fs::remove(root_ / "own" / "bin" / "python");
    EXPECT_NE(error_of(search).find("The venv " + (root_ / "own").string() + " of this executable has no"),
              std::string::npos);
}

}  // namespace
}  // namespace quorl
