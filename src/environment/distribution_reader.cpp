#include "environment/distribution_reader.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "environment/interpreter_facts.h"
#include "environment/metadata.h"
#include "environment/metadata_directory.h"
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "support/hash_index.h"
#include "support/logging.h"
#include "support/text.h"

namespace quorl {
namespace {

using Entry = MetadataEntry;

// A metadata entry's file name without its suffix: "Foo_Bar-1.0".
std::string_view stem_of(std::string_view file_name) { return file_name.substr(0, file_name.rfind('.')); }

// The distribution name a metadata entry's file name announces, as it
// spells it: "Foo_Bar-1.0.dist-info" -> "Foo_Bar", "foo.egg-info" -> "foo".
std::string entry_name_as_written(const Entry& entry) {
    const std::string_view stem = stem_of(entry.file_name);
    return std::string(stem.substr(0, stem.find('-')));
}

// Every canonical name the file name may announce: the canonical form of
// its stem is appended to `canonical`, and `lengths` gets the lengths of
// its prefixes that they are: the stem cut at each "-" and whole, each
// once, none empty. Installers write "name-version" with the name's "-" as
// "_", but not every tool does ("foo-bar-1.0.egg-info" is foo-bar); the
// metadata tells.
void announced_names(std::string_view file_name, std::string& canonical, std::vector<std::size_t>& lengths) {
    lengths.clear();
    const std::size_t start = canonical.size();
    append_canonical(stem_of(file_name), canonical, lengths);
    lengths.push_back(canonical.size() - start);
    // The prefixes grow in order, so a repeated one is next to its twin.
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    if (!lengths.empty() && lengths.front() == 0) lengths.erase(lengths.begin());
}

bool announces(std::string_view file_name, std::string_view key) {
    std::string canonical;
    std::vector<std::size_t> lengths;
    announced_names(file_name, canonical, lengths);
    return std::find(lengths.begin(), lengths.end(), key.size()) != lengths.end() && canonical.starts_with(key);
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

// The distribution of a metadata entry; its details into `details`, when given.
std::optional<Distribution> read_entry(int dir_fd, const std::string& directory, const Entry& entry,
                                       std::optional<DistributionDetails>* details) {
    Distribution distribution;
    distribution.location = entry_location(directory, entry.file_name);
    const std::optional<std::string> headers = entry.kind == MetadataKind::DistInfo
                                                   ? headers_inside(dir_fd, entry, distribution.location, "METADATA")
                                                   : egg_info_headers(dir_fd, entry, distribution.location);
    if (!headers) return std::nullopt;
    // Without a Name header, the entry's name as its file name spells it.
    if (details) details->emplace(parse_distribution_details(*headers, entry_name_as_written(entry)));
    MetadataHeaders parsed = parse_metadata_headers(*headers);
    distribution.name = parsed.name ? std::move(*parsed.name) : canonical_name(entry_name_as_written(entry));
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

// A search-path entry that exists but cannot be listed (no permission, a
// symlink loop) hides what is installed there: say so rather than leave it
// out silently. Missing entries and zip files are normal and stay silent.
void warn_unlistable(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR) return;
    log::warning("Cannot list " + path + ": " + std::strerror(error) + "; distributions installed there are left out");
}

constexpr std::size_t NONE = static_cast<std::size_t>(-1);

// Room for the canonical stem of an entry ("pkg-lib3606-5-2-0") when the
// names of a directory are reserved.
constexpr std::size_t TYPICAL_STEM = 24;

}  // namespace

// Each readable directory of the search path once (even when the path names
// it twice), kept open, and its metadata entries in reading order, chained
// by the canonical name of their file names.
struct InstalledDistributionReader::Listing {
    struct Directory {
        std::string path;
        std::unique_ptr<MetadataDirectory> open;
    };
    struct ListedEntry {
        std::size_t directory;
        Entry entry;
    };
    // An entry under one of the names it announces, which is a prefix of
    // the entry's canonical stem in `names`.
    struct Candidate {
        std::size_t entry;
        std::size_t name_start;
        std::size_t name_size;
        std::size_t next_same = NONE;  // the next candidate of this name
        std::size_t last_same = NONE;  // at the first candidate of a name: its last one
    };

    std::string_view name_of(const Candidate& candidate) const {
        return std::string_view(names).substr(candidate.name_start, candidate.name_size);
    }
    std::optional<std::size_t> first_of(std::string_view key) const {
        return by_key.find(std::hash<std::string_view>{}(key),
                           [&](std::size_t i) { return name_of(candidates[i]) == key; });
    }
    std::optional<Distribution> read(const ListedEntry& listed, std::optional<DistributionDetails>* details) const {
        const Directory& directory = directories[listed.directory];
        return read_entry(directory.open->fd(), directory.path, listed.entry, details);
    }
    // Files `entry` under each name it announces; false when it announces none.
    bool add(std::size_t directory, Entry entry) {
        const std::size_t start = names.size();
        announced_names(entry.file_name, names, lengths);
        entries.push_back({directory, std::move(entry)});
        for (const std::size_t length : lengths) {
            add_candidate({entries.size() - 1, start, length});
        }
        return !lengths.empty();
    }
    // Room for `count` more entries, each under about two names: growing
    // the index rehashed it a dozen times on a large directory.
    void reserve_more(std::size_t count) {
        entries.reserve(entries.size() + count);
        names.reserve(names.size() + TYPICAL_STEM * count);
        candidates.reserve(candidates.size() + 2 * count);
        by_key.reserve(candidates.size() + 2 * count);
    }
    void add_candidate(Candidate candidate) {
        const std::size_t at = candidates.size();
        const std::string_view name = name_of(candidate);
        const std::size_t hash = std::hash<std::string_view>{}(name);
        const std::optional<std::size_t> first =
            by_key.find(hash, [&](std::size_t i) { return name_of(candidates[i]) == name; });
        if (first) {
            candidates[candidates[*first].last_same].next_same = at;
            candidates[*first].last_same = at;
        } else {
            candidate.last_same = at;
            by_key.insert(hash, at);
        }
        candidates.push_back(candidate);
    }

    std::vector<Directory> directories;
    std::vector<ListedEntry> entries;  // search-path order, then byte order of names
    std::vector<Candidate> candidates;
    std::string names;                 // the canonical stem of every entry, one after another
    std::vector<std::size_t> lengths;  // the names of the entry being added
    HashIndex by_key;                  // key -> its first candidate
    std::size_t by_key_size() const {
        std::size_t count = 0;
        for (const Candidate& candidate : candidates) count += candidate.last_same != NONE ? 1 : 0;
        return count;
    }
};

InstalledDistributionReader::InstalledDistributionReader(std::vector<std::string> search_path, MarkerValues markers)
    : search_path_(std::move(search_path)), markers_(std::move(markers)) {}

InstalledDistributionReader::~InstalledDistributionReader() = default;

const InstalledDistributionReader& InstalledDistributionReader::current() {
    static const InstalledDistributionReader reader = [] {
        const InterpreterFacts& environment = current_interpreter_facts();
        return InstalledDistributionReader(environment.sys_path, environment.markers);
    }();
    return reader;
}

const InstalledDistributionReader::Listing& InstalledDistributionReader::listing() const {
    if (listing_) return *listing_;
    const log::Stopwatch stopwatch;
    auto listing = std::make_unique<Listing>();
    std::set<std::pair<dev_t, ino_t>> seen;
    bool unnamed = false;
    for (const std::string& path : search_path_) {
        auto directory = std::make_unique<MetadataDirectory>(path);
        if (!directory->is_open()) warn_unlistable(path, directory->error());
        dev_t device = 0;
        ino_t inode = 0;
        if (!directory->identity(device, inode) || !seen.insert({device, inode}).second) continue;
        std::vector<Entry> entries = directory->listed_entries();
        sort_by_name(entries);
        listing->reserve_more(entries.size());
        for (Entry& entry : entries) {
            if (!listing->add(listing->directories.size(), std::move(entry))) unnamed = true;
        }
        listing->directories.push_back({path, std::move(directory)});
    }
    // An entry that announces no name may hold any distribution.
    if (unnamed) names_disagree_ = true;
    // Counting the names walks the whole index: only when it is shown.
    if (log::debug_enabled()) {
        log::debug("Listed " + std::to_string(listing->directories.size()) +
                   " directories: " + std::to_string(listing->entries.size()) + " metadata entries, indexed under " +
                   std::to_string(listing->by_key_size()) + " names (" + stopwatch.elapsed() + ")");
    }
    listing_ = std::move(listing);
    return *listing_;
}

void InstalledDistributionReader::warn_shadowed(const Distribution& later, const Distribution& winner) const {
    if (!warned_shadowed_.insert(later.location).second) return;
    log::warning("Distribution " + later.name + " at " + later.location + " is shadowed by " + winner.name + " at " +
                 winner.location + ", which is found first");
}

std::vector<Distribution> InstalledDistributionReader::list_distributions() const {
    try {
        std::vector<Distribution> found;
        HashIndex first_by_key;  // over the keys found: no copy of each key in a node of its own
        const Listing& all = listing();
        found.reserve(all.entries.size());
        for (const Listing::ListedEntry& entry : all.entries) {
            std::optional<DistributionDetails> details;
            std::optional<Distribution> distribution = all.read(entry, keep_details_ ? &details : nullptr);
            if (!distribution) continue;
            const std::size_t hash = std::hash<std::string>{}(distribution->key);
            const std::optional<std::size_t> first =
                first_by_key.find(hash, [&](std::size_t i) { return found[i].key == distribution->key; });
            if (first) {
                warn_shadowed(*distribution, found[*first]);
                continue;
            }
            first_by_key.insert(hash, found.size());
            if (details) details_.insert_or_assign(distribution->key, std::move(*details));
            found.push_back(std::move(*distribution));
        }
        // Each move of a distribution moves three strings and a vector: the
        // sort moves each once.
        return text::sorted_by_text(std::move(found), [](const Distribution& d) -> std::string_view { return d.key; });
    } catch (const OsError& error) {
        // Unreadable metadata leaves the dependency tree incomplete.
        throw PipDepTreeProcessingException(error.what());
    }
}

std::optional<Distribution> InstalledDistributionReader::find_distribution(std::string_view name) const {
    // The reader of a group's distributions asks by canonical names only.
    std::string made;
    const std::string_view key = is_canonical(name) ? name : std::string_view(made = canonical_name(name));
    const Listing& all = listing();
    std::optional<Distribution> winner;
    for (std::size_t at = all.first_of(key).value_or(NONE); at != NONE; at = all.candidates[at].next_same) {
        const Listing::ListedEntry& listed = all.entries[all.candidates[at].entry];
        std::optional<DistributionDetails> details;
        std::optional<Distribution> distribution = all.read(listed, keep_details_ ? &details : nullptr);
        if (!distribution) continue;
        if (distribution->key != key) {
            // Found under its own name too, unless its file name does not announce it.
            if (!announces(listed.entry.file_name, distribution->key)) names_disagree_ = true;
        } else if (winner) {
            warn_shadowed(*distribution, *winner);
        } else {
            if (details) details_.insert_or_assign(std::string(key), std::move(*details));
            winner = std::move(distribution);
        }
    }
    return winner;
}

const DistributionDetails* InstalledDistributionReader::details_of(std::string_view key) const {
    const auto found = details_.find(key);
    return found == details_.end() ? nullptr : &found->second;
}

}  // namespace quorl
