#include "environment/interpreter_facts_cache.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "test_support.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

std::string content_of(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

TEST(InterpreterFactsCacheTest, AKeptAnswerIsUsedOnlyWhileItsFileIsWhole) {
    const test::TemporaryDirectory dir;
    const char* previous = std::getenv("XDG_CACHE_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
    const InterpreterFactsCache cache(dir.write("python",
                                                "\x7f"
                                                "ELF"));
    previous != nullptr ? ::setenv("XDG_CACHE_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
    ASSERT_TRUE(cache.usable());
    // Asked long after every file here last changed.
    cache.store("the answer", {dir.path().string()}, {std::numeric_limits<time_t>::max(), 0});
    ASSERT_EQ(cache.load(), "the answer");

    const fs::path file = fs::directory_iterator(dir / "quorl-python-dependencies")->path();
    const std::string whole = content_of(file);
    for (const std::string& damaged : {whole.substr(0, whole.size() - 1), whole + "x", whole.substr(0, 40),
                                       std::string("10\nthe answer"), std::string(), "9" + whole}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        EXPECT_EQ(cache.load(), std::nullopt) << damaged;
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << whole;
    EXPECT_EQ(cache.load(), "the answer");
}

}  // namespace
}  // namespace quorl
