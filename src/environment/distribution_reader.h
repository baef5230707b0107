// The installed distributions of a Python environment, as the dependency
// model reads them. The model sees only the DistributionReader interface, so it
// is tested with distributions held in memory; InstalledDistributionReader
// reads the metadata on disk.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "environment/distribution_details.h"
#include "pep/marker.h"
#include "support/text.h"

namespace quorl {

struct Distribution {
    std::string name;      // the Name of its metadata, as written
    std::string key;       // canonical name: lower case, runs of "-_." as one "-"
    std::string location;  // its metadata directory or file, for messages
    // Requires-Dist lines in declaration order (for egg-info, converted from
    // requires.txt when the metadata holds none).
    std::vector<std::string> requirement_lines;
    std::string version;  // the Version of its metadata, as written; empty when absent
};

class DistributionReader {
public:
    virtual ~DistributionReader() = default;

    // Every installed distribution once (the first of each canonical name
    // along the search path), sorted by key.
    virtual std::vector<Distribution> list_distributions() const = 0;

    // The installed distribution whose canonical name is that of `name`
    // (the one list_distributions would give), with its requirement lines;
    // nothing when no such distribution is installed.
    virtual std::optional<Distribution> find_distribution(std::string_view name) const = 0;

    // Whether find_distribution may have missed a distribution: it met one
    // whose metadata names another distribution than its entry's name does,
    // or an entry whose name gives no name at all. Only list_distributions
    // then tells which distribution an entry holds.
    virtual bool names_disagree() const { return false; }

    // The marker values requirement lines are evaluated with.
    virtual const MarkerValues& marker_values() const = 0;
};

// Reads `*.dist-info` and `*.egg-info` entries (directories, or egg-info
// files) of every directory of a search path. Every directory is listed
// once, at the first look-up, and its entries are indexed by the canonical
// names their file names may announce: the stem cut at each "-", and whole
// ("Foo_Bar-1.0.dist-info": foo-bar, foo-bar-1-0). A distribution whose
// metadata names it otherwise than its file name does is found only by
// list_distributions (names_disagree tells when find_distribution met one).
// Entries of one directory are taken in byte order of their names,
// directories in search-path order; of several distributions with one
// canonical name the first wins and each later one gets a warning naming
// both places. Entries that are not directories, and metadata directories
// without their metadata file, are skipped. A search-path directory that
// exists but cannot be listed (no permission, a symlink loop) is left out,
// with a warning. Only the header block of METADATA / PKG-INFO is read. A
// read failure other than a missing file throws
// PipDepTreeProcessingException from list_distributions and OsError from
// find_distribution, both naming the file.
class InstalledDistributionReader : public DistributionReader {
public:
    InstalledDistributionReader(std::vector<std::string> search_path, MarkerValues markers);
    ~InstalledDistributionReader() override;
    InstalledDistributionReader(const InstalledDistributionReader&) = delete;
    InstalledDistributionReader& operator=(const InstalledDistributionReader&) = delete;

    // The environment of the current interpreter (see current_interpreter_facts),
    // one reader per run, so that its directories are listed once.
    static const InstalledDistributionReader& current();

    // Reads every indexed entry.
    std::vector<Distribution> list_distributions() const override;

    // Reads only the entries indexed under the canonical name of `name`.
    std::optional<Distribution> find_distribution(std::string_view name) const override;

    bool names_disagree() const override { return names_disagree_; }

    // From now on, the details of every distribution found or listed are
    // kept: bills of materials need them, and parsing them from the header
    // block in hand spares opening every metadata file a second time. Kept
    // apart from the distributions, so that a run without bills carries
    // nothing more.
    void keep_details() const { keep_details_ = true; }

    // The kept details of the distribution of canonical name `key`, as the
    // last find_distribution or list_distributions read it; null when it
    // was not read since keep_details (or is not installed).
    const DistributionDetails* details_of(std::string_view key) const;

    const MarkerValues& marker_values() const override { return markers_; }

private:
    struct Listing;  // the directories and their indexed entries
    const Listing& listing() const;
    void warn_shadowed(const Distribution& later, const Distribution& winner) const;

    std::vector<std::string> search_path_;
    MarkerValues markers_;
    mutable std::unique_ptr<Listing> listing_;
    mutable bool names_disagree_ = false;
    mutable bool keep_details_ = false;
    mutable text::MapByText<DistributionDetails> details_;     // by key
    mutable std::unordered_set<std::string> warned_shadowed_;  // locations: a look-up may be repeated
};

}  // namespace quorl
