// A private temporary directory (mode 0700) that lives as long as its owner:
// the destructor removes it with everything in it, also when the stack
// unwinds after an error or a signal.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorl {

class TemporaryDirectory {
public:
    // Creates "<temp dir>/<prefix>-XXXXXX". Throws OsError when it cannot.
    explicit TemporaryDirectory(std::string_view prefix = "quorl");
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace quorl
