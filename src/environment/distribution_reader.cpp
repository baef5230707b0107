#include "environment/distribution_reader.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "environment/environment_read_ahead.h"
#include "environment/interpreter_facts.h"
#include "environment/metadata.h"
#include "environment/metadata_directory.h"
#include "environment/metadata_prefetch.h"
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "support/hash_index.h"
#include "support/logging.h"
#include "support/text.h"

namespace quorl {
namespace {

using Entry = MetadataEntry;

// The canonical distribution name a metadata entry's file name announces:
// "Foo_Bar-1.0.dist-info" -> "foo-bar", "foo.egg-info" -> "foo".
std::string name_from_file_name(std::string_view file_name) {
    const std::string_view stem = file_name.substr(0, file_name.rfind('.'));
    return canonical_name(stem.substr(0, stem.find('-')));
}

// Longest name of a file read inside a metadata directory, with its "/".
constexpr std::size_t LONGEST_INSIDE = sizeof("/requires.txt") - 1;

std::string entry_location(const std::string& directory, const std::string& file_name) {
    std::string location;
    location.reserve(directory.size() + 1 + file_name.size() + LONGEST_INSIDE);
    location.append(directory);
    if (location.empty() || location.back() != '/') location += '/';
    return location.append(file_name);
}

// Calls `read(relative_path, shown_path)` for `file` inside the metadata
// directory `entry`, whose path is `location`. The file's name is appended
// to `location` for the call and taken off again, so that one string (made
// with room for it) serves the open (its tail is the path relative to the
// search-path directory), the messages and the distribution's location.
template <typename Read>
auto read_inside(std::string& location, const Entry& entry, const char* file, Read read) {
    const std::size_t size = location.size();
    location.append("/").append(file);
    auto result = read(location.c_str() + (size - entry.file_name.size()), std::string_view(location));
    location.resize(size);
    return result;
}

std::optional<std::string> headers_inside(int dir_fd, const Entry& entry, std::string& location, const char* file) {
    return read_inside(location, entry, file, [&](const char* relative, std::string_view shown) {
        return read_metadata_headers(dir_fd, relative, shown);
    });
}

// The header block of a dist-info entry: the METADATA read ahead for it, or
// read now.
std::optional<std::string> dist_info_headers(int dir_fd, const Entry& entry, std::string& location,
                                             std::optional<HeaderRead> prefetched) {
    return read_inside(location, entry, "METADATA", [&](const char* relative, std::string_view shown) {
        return use_header_block(prefetched ? std::move(*prefetched) : read_header_block(dir_fd, relative), shown);
    });
}

// The header block of an egg-info entry: its PKG-INFO, or the entry itself
// when it is a file.
std::optional<std::string> egg_info_headers(int dir_fd, const Entry& entry, std::string& location) {
    if (std::optional<std::string> headers = headers_inside(dir_fd, entry, location, "PKG-INFO")) return headers;
    return read_metadata_headers(dir_fd, entry.file_name.c_str(), location);
}

std::vector<std::string> egg_info_requires(int dir_fd, const Entry& entry, std::string& location) {
    const std::optional<std::string> text = read_inside(
        location, entry, "requires.txt",
        [&](const char* relative, std::string_view shown) { return read_small_file(dir_fd, relative, shown); });
    return text ? egg_info_requirement_lines(*text) : std::vector<std::string>{};
}

// The distribution of a metadata entry; `prefetched`: the read of its
// METADATA, when a dist-info one was read ahead.
std::optional<Distribution> read_entry(int dir_fd, const std::string& directory, const Entry& entry,
                                       std::optional<HeaderRead> prefetched = std::nullopt) {
    Distribution distribution;
    distribution.location = entry_location(directory, entry.file_name);
    const std::optional<std::string> headers =
        entry.kind == MetadataKind::DistInfo
            ? dist_info_headers(dir_fd, entry, distribution.location, std::move(prefetched))
            : egg_info_headers(dir_fd, entry, distribution.location);
    if (!headers) return std::nullopt;
    MetadataHeaders parsed = parse_metadata_headers(*headers);
    distribution.name = parsed.name ? std::move(*parsed.name) : name_from_file_name(entry.file_name);
    distribution.key = canonical_name(distribution.name);
    distribution.version = parsed.version ? std::move(*parsed.version) : std::string();
    distribution.requirement_lines = std::move(parsed.requires_dist);
    // Egg-info metadata keeps its requirements in requires.txt, unless the
    // tool that wrote it put them into PKG-INFO as well.
    if (entry.kind == MetadataKind::EggInfo && distribution.requirement_lines.empty()) {
        distribution.requirement_lines = egg_info_requires(dir_fd, entry, distribution.location);
    }
    return distribution;
}

// Sorts positions rather than the distributions themselves: each move of a
// distribution moves three strings and a vector. Each position carries the
// first sixteen bytes of its key as two numbers, which order nearly every
// pair; only keys alike that far are compared in full.
std::vector<Distribution> sorted_by_key(std::vector<Distribution> distributions) {
    struct Position {
        std::uint64_t head;
        std::uint64_t next;
        std::size_t index;
    };
    std::vector<Position> order;
    order.reserve(distributions.size());
    for (std::size_t i = 0; i < distributions.size(); ++i) {
        const std::string& key = distributions[i].key;
        order.push_back({text::ordered_prefix(key, 0), text::ordered_prefix(key, 8), i});
    }
    std::sort(order.begin(), order.end(), [&](const Position& a, const Position& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.next != b.next) return a.next < b.next;
        return distributions[a.index].key < distributions[b.index].key;
    });
    std::vector<Distribution> sorted;
    sorted.reserve(order.size());
    for (const Position& position : order) sorted.push_back(std::move(distributions[position.index]));
    return sorted;
}

// A search-path entry that exists but cannot be listed (no permission, a
// symlink loop) hides what is installed there: say so rather than leave it
// out silently. Missing entries and zip files are normal and stay silent.
void warn_unlistable(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR) return;
    log::warning("Cannot list " + path + ": " + std::strerror(error) + "; distributions installed there are left out");
}

// Calls `visit(path, directory, device, inode)` for each readable directory
// of the search path, once per directory even when the path names it twice.
// With `warn`, each directory that cannot be listed gets a warning.
template <typename Visit>
void for_each_directory(const std::vector<std::string>& search_path, bool warn, Visit visit) {
    std::set<std::pair<dev_t, ino_t>> seen;
    for (const std::string& path : search_path) {
        const MetadataDirectory directory(path);
        if (!directory.is_open() && warn) warn_unlistable(path, directory.error());
        dev_t device = 0;
        ino_t inode = 0;
        if (!directory.identity(device, inode)) continue;
        if (!seen.insert({device, inode}).second) continue;
        if (visit(path, directory, device, inode)) return;
    }
}

std::vector<Entry> entries_in_name_order(const MetadataDirectory& directory) {
    std::vector<Entry> entries = directory.listed_entries();
    sort_by_name(entries);
    return entries;
}

// The distributions found so far: the first of each key, in search-path order.
class FoundDistributions {
public:
    void add(Distribution distribution) {
        const std::size_t hash = std::hash<std::string>{}(distribution.key);
        const std::optional<std::size_t> first =
            first_by_key_.find(hash, [&](std::size_t i) { return distributions_[i].key == distribution.key; });
        if (first) {
            const Distribution& winner = distributions_[*first];
            log::warning("Distribution " + distribution.name + " at " + distribution.location + " is shadowed by " +
                         winner.name + " at " + winner.location + ", which is found first");
            return;
        }
        first_by_key_.insert(hash, distributions_.size());
        distributions_.push_back(std::move(distribution));
    }
    std::vector<Distribution> sorted() && { return sorted_by_key(std::move(distributions_)); }
    // Room for `count` more: growing moved every distribution found so far.
    void reserve_more(std::size_t count) {
        distributions_.reserve(distributions_.size() + count);
        first_by_key_.reserve(distributions_.size() + count);
    }

private:
    std::vector<Distribution> distributions_;
    HashIndex first_by_key_;  // over the keys above: no copy of each key in a node of its own
};

// Reads the entries of one directory, their METADATA through `prefetch`.
void read_directory(int dir_fd, const std::string& path, const std::vector<Entry>& entries, MetadataPrefetch& prefetch,
                    FoundDistributions& found) {
    found.reserve_more(entries.size());
    std::size_t dist_infos = 0;
    for (const Entry& entry : entries) {
        std::optional<HeaderRead> prefetched;
        if (entry.kind == MetadataKind::DistInfo) prefetched = prefetch.take(dist_infos++);
        if (std::optional<Distribution> distribution = read_entry(dir_fd, path, entry, std::move(prefetched))) {
            found.add(std::move(*distribution));
        }
    }
}

}  // namespace

InstalledDistributionReader::InstalledDistributionReader(std::vector<std::string> search_path, MarkerValues markers)
    : search_path_(std::move(search_path)), markers_(std::move(markers)) {}

InstalledDistributionReader InstalledDistributionReader::current() {
    const InterpreterFacts& environment = current_interpreter_facts();
    return InstalledDistributionReader(environment.sys_path, environment.markers);
}

std::vector<Distribution> InstalledDistributionReader::list_distributions() const {
    try {
        return read_all_distributions();
    } catch (const OsError& error) {
        // Unreadable metadata leaves the dependency tree incomplete.
        throw PipDepTreeProcessingException(error.what());
    }
}

std::vector<Distribution> InstalledDistributionReader::read_all_distributions() const {
    FoundDistributions found;
    for_each_directory(search_path_, true,
                       [&](const std::string& path, const MetadataDirectory& directory, dev_t device, ino_t inode) {
                           // The directory read while the interpreter was asked, when this is it, unchanged.
                           if (const std::unique_ptr<ReadAheadDirectory> ahead =
                                   EnvironmentReadAhead::take_if_same(directory, device, inode)) {
                               read_directory(ahead->directory.fd(), path, ahead->entries, *ahead->prefetch, found);
                               return false;
                           }
                           const std::vector<Entry> entries = entries_in_name_order(directory);
                           MetadataPrefetch prefetch(directory.fd(), dist_info_names(entries), "METADATA");
                           read_directory(directory.fd(), path, entries, prefetch, found);
                           return false;
                       });
    EnvironmentReadAhead::discard();
    return std::move(found).sorted();
}

std::optional<Distribution> InstalledDistributionReader::find_distribution(std::string_view name) const {
    const std::string key = canonical_name(name);
    std::optional<Distribution> found;
    for_each_directory(search_path_, false,
                       [&](const std::string& path, const MetadataDirectory& directory, dev_t, ino_t) {
                           for (const Entry& entry : entries_in_name_order(directory)) {
                               if (name_from_file_name(entry.file_name) != key) continue;
                               found = read_entry(directory.fd(), path, entry);
                               if (found && found->key == key) return true;
                               found.reset();
                           }
                           return false;
                       });
    return found;
}

}  // namespace quorl
