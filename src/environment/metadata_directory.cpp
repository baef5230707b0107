#include "environment/metadata_directory.h"

#include <sys/stat.h>

#include <cerrno>

#include "support/text.h"

namespace quorl {

namespace {

// Tools write the suffixes in lower case: the exact comparison settles
// nearly every metadata entry before the one that ignores case.
bool has_suffix(std::string_view file_name, std::string_view suffix) {
    return file_name.ends_with(suffix) || text::ends_with_ignoring_case(file_name, suffix);
}

}  // namespace

std::optional<MetadataKind> metadata_kind(std::string_view file_name) {
    // Both suffixes end in "o", in either case: every other entry of a
    // search-path directory (packages, modules) is turned away by one byte.
    if (file_name.empty() || (file_name.back() != 'o' && file_name.back() != 'O')) return std::nullopt;
    if (has_suffix(file_name, ".dist-info")) return MetadataKind::DistInfo;
    if (has_suffix(file_name, ".egg-info")) return MetadataKind::EggInfo;
    return std::nullopt;
}

MetadataDirectory::MetadataDirectory(const std::string& path)
    : dir_(::opendir(path.empty() ? "." : path.c_str())), error_(dir_ ? 0 : errno) {}

MetadataDirectory::~MetadataDirectory() {
    if (dir_ != nullptr) ::closedir(dir_);
}

bool MetadataDirectory::identity(dev_t& device, ino_t& inode) const {
    struct stat status {};
    if (dir_ == nullptr || ::fstat(fd(), &status) != 0) return false;
    device = status.st_dev;
    inode = status.st_ino;
    return true;
}

std::vector<MetadataEntry> MetadataDirectory::listed_entries() const {
    std::vector<MetadataEntry> entries;
    while (const dirent* item = ::readdir(dir_)) {
        if (const std::optional<MetadataKind> kind = metadata_kind(item->d_name)) {
            entries.push_back({item->d_name, *kind});
        }
    }
    return entries;
}

void sort_by_name(std::vector<MetadataEntry>& entries) {
    entries = text::sorted_by_text(std::move(entries),
                                   [](const MetadataEntry& entry) -> std::string_view { return entry.file_name; });
}

}  // namespace quorl
