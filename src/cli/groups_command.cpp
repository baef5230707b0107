#include <unordered_set>

#include "cli/commands.h"
#include "cli/group_string.h"
#include "support/errors.h"

namespace quorl::cli {
namespace {

// Steps that need nothing but the command line: every "-g" value parsed in
// order, then the check for duplicate names, before anything is read or
// printed.
std::vector<GroupInput> collect_groups(const GroupsArguments& args) {
    std::vector<GroupInput> groups;
    for (const std::string& group_str : args.groups) {
        groups.push_back(parse_group_str(args.resolved_reqs_path, group_str));
    }
    if (!args.extract_extras.empty() || args.release) {
        throw QuorlError("groups from extras and release groups are not available yet in this build");
    }
    std::unordered_set<std::string> names;
    for (const GroupInput& group : groups) names.insert(group.name());
    if (names.size() < groups.size()) {
        throw UsageError("Invalid value: Duplicate group names (might come from generated extra groups)");
    }
    return groups;
}

}  // namespace

void generate_groups(const GroupsArguments& args) {
    collect_groups(args);
    throw QuorlError("reading the installed environment is not available yet in this build");
}

}  // namespace quorl::cli
