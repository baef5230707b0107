// GroupGenerator: turns named groups of root requirements into the ordered
// list of everything each group reaches in the installed environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "groups/group_input.h"
#include "groups/group_output.h"
#include "support/ordered_map.h"
#include "support/ordered_set.h"

namespace quorl {

class DependencyMap;
class Package;

using GroupRequirements = OrderedMap<std::string, std::vector<std::string>>;

class GroupGenerator {
public:
    // The lines of the exclude file, stripped, blank ones kept as empty
    // strings; every Unicode line break counts, a byte-order mark at the
    // start is skipped and a line ending with "\" continues on the next. A
    // missing file gives an empty list; a file that cannot be read or is not
    // UTF-8 throws naming it, and a line that is no requirement string
    // (Package::from_string) throws ValueError naming the file and the line.
    static std::vector<std::string> parse_exclude_txt(const std::filesystem::path& exclude_path);

    // Group name to its requirement strings; a later group of the same name
    // replaces the list and keeps the first position.
    static GroupRequirements from_group_outputs_to_req_dict(const std::vector<GroupOutput>& group_info);
    // The same without copying: the lists are moved out of the groups, each
    // group's index freed as it goes (a release's groups hold the names of
    // the whole environment, twice), and the groups are left empty.
    static GroupRequirements from_group_outputs_to_req_dict(std::vector<GroupOutput>&& group_info);

    // The roots of all groups, in order: what they reach together is what
    // the groups reach. A root that does not parse is left out; it fails
    // where its group is computed.
    static std::vector<Package> roots_of(const std::vector<GroupInput>& groups);

    // Reads the installed environment once (what the groups reach, extras
    // included) and computes
    // every group against it, in order.
    static std::vector<GroupOutput> generate_groups(
        const std::vector<GroupInput>& groups_config,
        const std::optional<std::vector<std::string>>& exclude_packages = {}, std::optional<int> depth = {});

    // The same against a map that was read already.
    static std::vector<GroupOutput> generate_groups(
        const DependencyMap& environment, const std::vector<GroupInput>& groups_config,
        const std::optional<std::vector<std::string>>& exclude_packages = {}, std::optional<int> depth = {});

    // What the group's roots reach in `dependency_map`, less the excluded
    // packages, shallowest first, each requirement once.
    //
    // Exclusions come after the extraction here, and before it in the
    // `groups` command, which removes the excluded packages from the whole
    // environment's map and then extracts each group. The two orders give
    // different groups on purpose. Removed first, an excluded package cuts
    // the graph: what only it requires is no longer reached, so the listing
    // shows what the group pulls in without it. Removed after, only the
    // excluded packages leave the group: what they require was reached
    // already and stays (as roots of what is left), so a release still pins
    // what an excluded package needs.
    static GroupOutput generate_group(const DependencyMap& dependency_map, const GroupInput& group_config,
                                      const std::optional<std::vector<std::string>>& exclude_packages = {},
                                      std::optional<int> depth = {});

    // The levels concatenated, each string kept at its first position. No
    // command calls it: generate_group inserts the first-occurrence layers
    // straight into its set, which gives the same set for the full layers.
    static OrderedSet<std::string> compose_sorted_dependencies(
        const std::vector<std::vector<std::string>>& soted_dependencies);
};

}  // namespace quorl
