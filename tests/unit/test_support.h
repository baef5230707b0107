// Helpers the unit tests share: a scratch directory per test, the text forms
// of packages, and the check that an action throws a given error.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <typeinfo>
#include <vector>

#include "model/package.h"

namespace quorl::test {

// A fresh private directory below the system's temporary directory, removed
// with everything in it (read-only parts too) when the object goes.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorl-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
        }
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            if (entry.is_directory(ignored)) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ignored);
            }
        }
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

    // Writes `content` to `relative` (its directories created) and returns the path.
    std::filesystem::path write(const std::filesystem::path& relative, std::string_view content) const {
        const std::filesystem::path path = path_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    std::filesystem::path path_;
};

inline std::vector<std::string> texts(const std::vector<Package>& packages) {
    std::vector<std::string> out;
    out.reserve(packages.size());
    for (const Package& package : packages) out.push_back(package.to_string());
    return out;
}

// Runs `action` and returns the `Error` it throws; a test failure and nothing
// when it throws none (another exception type fails the test through gtest).
template <typename Error, typename Action>
std::optional<Error> expect_error(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "expected an exception of type " << typeid(Error).name();
    return std::nullopt;
}

// The message of the `Error` that `action` throws; "" (and a failure) when none.
template <typename Error, typename Action>
std::string expect_error_message(Action&& action) {
    const std::optional<Error> error = expect_error<Error>(std::forward<Action>(action));
    return error ? error->what() : "";
}

}  // namespace quorl::test
