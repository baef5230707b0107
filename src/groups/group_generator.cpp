#include "groups/group_generator.h"

#include <optional>
#include <utility>

#include "model/dependency_map.h"
#include "model/package.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/text.h"

namespace quorl {

std::vector<std::string> GroupGenerator::parse_exclude_txt(const std::filesystem::path& exclude_path) {
    std::error_code error;
    if (!std::filesystem::exists(exclude_path, error)) return {};
    const std::string read = files::read(exclude_path);
    // An invisible byte-order mark would become part of the first name.
    const std::string_view content = text::without_utf8_bom(read);
    if (!text::is_valid_utf8(content)) {
        throw ValueError("Exclude file '" + exclude_path.string() + "' is not valid UTF-8 text");
    }
    std::vector<std::string> names;
    std::optional<std::string> continued;  // a name so far whose line ended with "\"
    std::size_t number = 0, first_number = 0;
    const auto add = [&](std::string_view name, std::size_t line_number) {
        try {
            Package::from_string(name);
        } catch (const ValueError& rejected) {
            throw ValueError(exclude_path.string() + ", line " + std::to_string(line_number) + ": " + rejected.what());
        }
        names.emplace_back(name);
    };
    for (const std::string& line : text::split_lines(content)) {
        std::string_view name = text::strip_unicode_space(line);
        const bool continues = text::ends_with(name, "\\");
        if (continues) name.remove_suffix(1);
        ++number;
        if (!continued) first_number = number;
        if (!continues && !continued) {
            add(name, number);
            continue;
        }
        continued = continued.value_or("") + std::string(name);
        if (!continues) add(text::strip_unicode_space(*std::exchange(continued, std::nullopt)), first_number);
    }
    if (continued) add(text::strip_unicode_space(*continued), first_number);
    return names;
}

GroupRequirements GroupGenerator::from_group_outputs_to_req_dict(const std::vector<GroupOutput>& group_info) {
    GroupRequirements result;
    for (const GroupOutput& group : group_info) result.set(group.name, group.reqs.items());
    return result;
}

GroupRequirements GroupGenerator::from_group_outputs_to_req_dict(std::vector<GroupOutput>&& group_info) {
    GroupRequirements result;
    result.reserve(group_info.size());
    for (GroupOutput& group : group_info) result.set(std::move(group.name), std::move(group.reqs).take_items());
    group_info.clear();
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
    const std::vector<std::vector<Package>> levels =
        dependency_map.first_occurrence_by_depth_of(roots, excluded, depth);
    std::size_t count = 0;
    for (const std::vector<Package>& level : levels) count += level.size();
    // Each package once, so each text once (extras hold no ","): no index
    // of the texts is made for them. It was a tenth of a release.
    std::vector<std::string> reqs;
    reqs.reserve(count);
    for (const std::vector<Package>& level : levels) {
        for (const Package& package : level) reqs.push_back(package.to_string());
    }
    return GroupOutput(group_config.name(), OrderedSet<std::string>::of_distinct(std::move(reqs)));
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
