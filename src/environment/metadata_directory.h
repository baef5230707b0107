// One search-path directory and the metadata entries it lists.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

enum class MetadataKind { DistInfo, EggInfo };

struct MetadataEntry {
    std::string file_name;
    MetadataKind kind;
    bool operator==(const MetadataEntry&) const = default;
};

// `*.dist-info` or `*.egg-info` (any case); nothing for other names.
std::optional<MetadataKind> metadata_kind(std::string_view file_name);

// A directory open for listing and for openat().
class MetadataDirectory {
public:
    // "" names the current directory.
    explicit MetadataDirectory(const std::string& path);
    ~MetadataDirectory();
    MetadataDirectory(const MetadataDirectory&) = delete;
    MetadataDirectory& operator=(const MetadataDirectory&) = delete;

    bool is_open() const { return dir_ != nullptr; }
    // Why it could not be opened (an errno value); 0 when it is open.
    int error() const { return error_; }
    int fd() const { return ::dirfd(dir_); }
    // Device and inode of the open directory; false when fstat fails.
    bool identity(dev_t& device, ino_t& inode) const;

    // The metadata entries in the order the file system lists them.
    std::vector<MetadataEntry> listed_entries() const;

private:
    DIR* dir_;
    int error_;
};

// Sorts entries into byte order of their names, the order they are read in.
void sort_by_name(std::vector<MetadataEntry>& entries);

}  // namespace quorl
