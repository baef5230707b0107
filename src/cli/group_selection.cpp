#include "cli/group_selection.h"

#include "cli/group_string.h"
#include "groups/group_generator.h"
#include "release/package_extras_manager.h"
#include "support/errors.h"

namespace quorl::cli {

GroupSelection select_groups(const GroupSelectionArguments& args) {
    GroupSelection selection{{}, args.excluded_packages_path};
    for (const std::string& group_str : args.groups) {
        selection.groups.push_back(parse_group_str(args.resolved_reqs_path, group_str));
    }
    for (const std::string& package : args.extract_extras) {
        for (GroupInput& group :
             PackageExtrasManager::compose_groups_from_req_extras(package, args.resolved_reqs_path)) {
            selection.groups.push_back(std::move(group));
        }
    }
    if (args.release) {
        selection.groups = PackageExtrasManager::release_groups(args.resolved_reqs_path);
        selection.exclude_path = PackageExtrasManager::constants().DEFAULT_EXCLUDE_TXT;
    }
    std::unordered_set<std::string> names;
    for (const GroupInput& group : selection.groups) names.insert(group.name());
    if (names.size() < selection.groups.size()) {
        throw UsageError("Invalid value: Duplicate group names (might come from generated extra groups)");
    }
    return selection;
}

std::unordered_set<std::string> apply_exclude_file(const GroupSelection& selection, DependencyMap& installed_map) {
    // Excluded before extracting, unlike a release: GroupGenerator::generate_group says why.
    std::unordered_set<std::string> excluded;
    if (!selection.exclude_path) return excluded;
    for (const std::string& name : GroupGenerator::parse_exclude_txt(*selection.exclude_path)) {
        const Package package = Package::from_string(name);
        if (!package.has_extras() && installed_map.contains(package)) excluded.insert(package.name());
        installed_map.remove_package(package);
    }
    return excluded;
}

std::vector<Package> roots_of(const GroupInput& group) {
    std::vector<Package> roots;
    for (const std::string& requirement : group.groups()) roots.push_back(Package::from_string(requirement));
    return roots;
}

}  // namespace quorl::cli
