// Choosing the groups a command works on (`groups`, `why`) and applying the
// exclude file that goes with them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/commands.h"
#include "groups/group_input.h"
#include "model/dependency_map.h"

namespace quorl::cli {

// The groups asked for, and the exclude file that applies to them.
struct GroupSelection {
    std::vector<GroupInput> groups;
    std::optional<std::filesystem::path> exclude_path;
};

// The "-g" groups in order, then the extras groups of each "-e" package;
// "--release" replaces both with the release groups and the default exclude
// file. Needs only the command line (and, for "-e", the extras of one
// installed package), so a bad group string fails before the environment is
// read. Throws UsageError on duplicate group names; group string errors
// propagate.
GroupSelection select_groups(const GroupSelectionArguments& args);

// Removes the packages of the selection's exclude file (when it has one)
// from `installed_map`; returns the names of the installed packages it
// removed.
std::unordered_set<std::string> apply_exclude_file(const GroupSelection& selection, DependencyMap& installed_map);

// The group's requirement strings as packages, in order (parse errors
// propagate).
std::vector<Package> roots_of(const GroupInput& group);

}  // namespace quorl::cli
