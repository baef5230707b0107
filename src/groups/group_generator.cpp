#include "groups/group_generator.h"

#include "model/dependency_map.h"
#include "model/package.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/text.h"

namespace quorl {

std::vector<std::string> GroupGenerator::parse_exclude_txt(const std::filesystem::path& exclude_path) {
    std::error_code error;
    if (!std::filesystem::exists(exclude_path, error)) return {};
    const std::string content = files::read(exclude_path);
    if (!text::is_valid_utf8(content)) {
        throw ValueError("Exclude file '" + exclude_path.string() + "' is not valid UTF-8 text");
    }
    std::vector<std::string> names;
    for (const std::string& line : text::split_lines(content)) names.emplace_back(text::strip_unicode_space(line));
    return names;
}

GroupRequirements GroupGenerator::from_group_outputs_to_req_dict(const std::vector<GroupOutput>& group_info) {
    GroupRequirements result;
    for (const GroupOutput& group : group_info) result.set(group.name, group.reqs.items());
    return result;
}

std::vector<GroupOutput> GroupGenerator::generate_groups(
    const std::vector<GroupInput>& groups_config, const std::optional<std::vector<std::string>>& exclude_packages,
    std::optional<int> depth) {
    const std::vector<Package> roots = roots_of(groups_config);
    const DependencyMap environment = DependencyMap::from_installed(true, &roots);
    return generate_groups(environment, groups_config, exclude_packages, depth);
}

std::vector<Package> GroupGenerator::roots_of(const std::vector<GroupInput>& groups) {
    std::vector<Package> roots;
    for (const GroupInput& group : groups) {
        for (const std::string& requirement : group.groups()) {
            try {
                roots.push_back(Package::from_string(requirement));
            } catch (const ValueError&) {}
        }
    }
    return roots;
}

std::vector<GroupOutput> GroupGenerator::generate_groups(
    const DependencyMap& environment, const std::vector<GroupInput>& groups_config,
    const std::optional<std::vector<std::string>>& exclude_packages, std::optional<int> depth) {
    std::vector<GroupOutput> result;
    result.reserve(groups_config.size());
    for (const GroupInput& group : groups_config) {
        result.push_back(generate_group(environment, group, exclude_packages, depth));
    }
    return result;
}

GroupOutput GroupGenerator::generate_group(const DependencyMap& dependency_map, const GroupInput& group_config,
                                           const std::optional<std::vector<std::string>>& exclude_packages,
                                           std::optional<int> depth) {
    std::vector<Package> roots;
    roots.reserve(group_config.groups().size());
    for (const std::string& requirement : group_config.groups()) roots.push_back(Package::from_string(requirement));

    std::vector<Package> excluded;
    if (exclude_packages) {
        for (const std::string& name : *exclude_packages) excluded.push_back(Package::from_string(name));
    }
    // The group's sub-map less the excluded packages, layer by layer, each
    // package at its first occurrence only (the duplicated layers of the
    // listing are never built; the order is the same). Computed on the
    // environment's map: building each group's sub-map took a fifth of a
    // release.
    OrderedSet<std::string> reqs;
    for (const std::vector<Package>& level : dependency_map.first_occurrence_by_depth_of(roots, excluded, depth)) {
        for (const Package& package : level) reqs.insert(package.to_string());
    }
    return GroupOutput(group_config.name(), std::move(reqs));
}

OrderedSet<std::string> GroupGenerator::compose_sorted_dependencies(
    const std::vector<std::vector<std::string>>& soted_dependencies) {
    OrderedSet<std::string> result;
    for (const std::vector<std::string>& level : soted_dependencies) {
        for (const std::string& requirement : level) result.insert(requirement);
    }
    return result;
}

}  // namespace quorl
