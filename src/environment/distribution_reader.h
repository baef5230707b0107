// The installed distributions of a Python environment, as the dependency
// model reads them. The model sees only the DistributionReader interface, so it
// is tested with distributions held in memory; InstalledDistributionReader
// reads the metadata on disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pep/marker.h"

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

    // The marker values requirement lines are evaluated with.
    virtual const MarkerValues& marker_values() const = 0;
};

// Reads `*.dist-info` and `*.egg-info` entries (directories, or egg-info
// files) of every directory of a search path. Entries of one directory are
// taken in byte order of their names, directories in search-path order; of
// several distributions with one canonical name the first wins and each later
// one gets a warning naming both places. Entries that are not directories,
// and metadata directories without their metadata file, are skipped. A
// search-path directory that exists but cannot be listed (no permission, a
// symlink loop) is left out, with a warning from list_distributions. Only the
// header block of METADATA / PKG-INFO is read; list_distributions reads the
// METADATA files of a large directory on two threads (metadata_prefetch.h),
// reporting from the calling thread in entry order; a directory read while the
// interpreter was asked (environment_read_ahead.h) is used when it is one of
// the search path, unchanged. A read failure other than a
// missing file throws PipDepTreeProcessingException from list_distributions
// and OsError from find_distribution, both naming the file.
class InstalledDistributionReader : public DistributionReader {
public:
    InstalledDistributionReader(std::vector<std::string> search_path, MarkerValues markers);

    // The environment of the current interpreter (see current_interpreter_facts).
    static InstalledDistributionReader current();

    std::vector<Distribution> list_distributions() const override;

    // Looks only at entries whose file name starts with the distribution's
    // name (up to the first "-"), and confirms the Name of their metadata.
    std::optional<Distribution> find_distribution(std::string_view name) const override;

    const MarkerValues& marker_values() const override { return markers_; }

private:
    std::vector<Distribution> read_all_distributions() const;

    std::vector<std::string> search_path_;
    MarkerValues markers_;
};

}  // namespace quorl
