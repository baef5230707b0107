// The group side of the release flow: the release group configuration, groups
// made from a package's extras, and the pinned groups of a release.
#include "release/release_groups.h"

#include <set>

#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "python/environment_reader.h"
#include "release/concurrent_check.h"
#include "release/consistency_check.h"
#include "release/package_extras_manager.h"
#include "resolution/requirement_generator.h"
#include "support/errors.h"

namespace quorl {

const std::vector<FixedReleaseGroup>& fixed_release_groups() {
    static const std::vector<FixedReleaseGroup> groups = {
        {"full-runtime",
         {"corvaneth-quorl-tessaly[all]", "corvaneth-quorl-glimwork-internal", "corvaneth-quorl-ravelin-interface"}},
        {"corvaneth-quorl-tessaly-all", {"corvaneth-quorl-tessaly[all]"}},
        {"data-science", {"numpy", "pandas"}},
        {"full-glimwork-internal", {"corvaneth-quorl-glimwork-internal"}},
        {"external-runtime",
         {"corvaneth-quorl-tessaly[all]", "corvaneth-quorl-glimwork[all]", "corvaneth-quorl-ravelin-interface"}},
    };
    return groups;
}

std::vector<GroupInput> PackageExtrasManager::release_groups(const std::filesystem::path& resolved_txt) {
    std::vector<GroupInput> groups;
    for (const FixedReleaseGroup& fixed : fixed_release_groups()) {
        groups.emplace_back(resolved_txt, fixed.name, fixed.roots);
    }
    for (GroupInput& group : compose_groups_from_req_extras(MODEL_LIBRARY_PACKAGE, resolved_txt)) {
        groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<GroupInput> PackageExtrasManager::compose_groups_from_req_extras(const std::string& requirement,
                                                                           const std::filesystem::path& req_file_path) {
    const Package package = Package::from_string(requirement);
    std::vector<GroupInput> groups;
    for (const auto& [extra_package, requirements] : DependencyMap::fetch_extras_for_installed_package(package)) {
        if (extra_package.extras().size() != 1) throw AssertionError();
        groups.emplace_back(req_file_path, extra_package.extras().front(),
                            std::vector<std::string>{extra_package.to_string()});
    }
    return groups;
}

PinnedGroups PackageExtrasManager::process_groups(const std::vector<GroupInput>& groups,
                                                  const std::optional<std::filesystem::path>& exclude_txt_path,
                                                  bool strict) {
    std::set<std::filesystem::path> requirement_paths;
    for (const GroupInput& group : groups) requirement_paths.insert(group.requirements_path());
    if (requirement_paths.size() != 1) throw AssertionError();

    const auto versions = RequirementGenerator::read_requirements_versions(*requirement_paths.begin());
    std::optional<std::vector<std::string>> exclusions;
    if (exclude_txt_path) exclusions = GroupGenerator::parse_exclude_txt(*exclude_txt_path);
    InstalledRequirements installed;
    const std::vector<GroupOutput> outputs = GroupGenerator::generate_groups(
        DependencyMap::from_installed(InstalledEnvironmentReader::current(), true, &installed), groups, exclusions);
    ConsistencyCheck check(installed);
    check.compare_with_pins(versions, requirement_paths.begin()->string());
    // Checked while the release is pinned: the warnings still come before
    // the error of a package the lookup finds unpinned.
    ConcurrentCheck checking(check, strict, "nothing written", [&check, &outputs] {
        for (const GroupOutput& output : outputs) {
            // Text forms of packages: the name ends where the extras begin.
            for (const std::string& requirement : output.reqs) {
                check.check_reached(std::string_view(requirement).substr(0, requirement.find('[')));
            }
        }
    });
    PinnedGroups pinned = RequirementGenerator::generate_pinned_versions_groups(
        versions, GroupGenerator::from_group_outputs_to_req_dict(outputs), true, *requirement_paths.begin());
    checking.finish();
    return pinned;
}

PinnedGroups PackageExtrasManager::generate_extras_to_setup(const std::filesystem::path& input_in_file_path,
                                                            const std::filesystem::path& output_req_txt_path,
                                                            const std::string& output_txt_name,
                                                            const std::filesystem::path& exclude_txt_path,
                                                            const std::vector<std::string>& extras_list,
                                                            const std::vector<std::string>& trusted_domains) {
    const GeneratorOutput output =
        resolve_requirements(input_in_file_path, output_req_txt_path, output_txt_name, extras_list, trusted_domains);
    install_requirements(output, extras_list, trusted_domains);
    return process_groups(release_groups(output.txt_path), exclude_txt_path);
}

}  // namespace quorl
