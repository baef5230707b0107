#include "release/package_extras_manager.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <optional>
#include <set>
#include <system_error>

#include "checks/consistency_check.h"
#include "environment/distribution_reader.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "model/sub_map_view.h"
#include "resolution/generator_input.h"
#include "resolution/requirement_generator.h"
#include "resolution/resolved_pins.h"
#include "support/errors.h"
#include "support/url_credentials.h"

// The build names the private index host (CMake's QUORL_INDEX_HOST cache
// variable), so that there is one place to change it.
#ifndef QUORL_INDEX_HOST
#error "QUORL_INDEX_HOST must name the private index host"
#endif

namespace quorl {
namespace {

std::optional<std::string> environment_value(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// Absolute, with the symlinks of its existing part resolved.
std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path result = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    return error ? std::filesystem::absolute(path).lexically_normal() : result;
}

// User and password are percent-encoded where a character of theirs would
// end the user-info, so that the URL reads back as exactly these credentials
// ("1234/abc" must not become a path on another host).
std::string index_url(const std::optional<std::string>& user, const std::optional<std::string>& pass,
                      const std::string& host, const char* repository) {
    static constexpr std::string_view SUB_DELIMS = "!$&'()*+,;=";
    std::string url = "https://";
    if (user || pass) {
        url +=
            percent_encode(user.value_or(""), SUB_DELIMS) + ":" + percent_encode(pass.value_or(""), SUB_DELIMS) + "@";
    }
    return url + host + "/repository/" + repository + "/simple";
}

std::filesystem::path own_executable() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw OsError("cannot locate the running executable: " + error.message());
    return exe;
}

// The bill of materials of each release group: what its roots reach,
// less the excluded packages afterwards, as the group was pinned. Made
// ready before the release is pinned, so that the map is freed for the
// pinned lists to reuse (they were the peak of a release); written after
// it, so that what pinning finds wrong comes first and nothing is written
// then.
class ReleaseBills {
public:
    // Folds each group's graph and looks up its distributions, then frees
    // `environment`. What fails (a distribution not pinned) is kept for
    // write() to throw.
    ReleaseBills(const std::vector<GroupInput>& groups, const std::optional<std::vector<std::string>>& exclusions,
                 std::optional<DependencyMap>& environment, const VersionsMap& versions)
        : builder_(versions, groups.front().requirements_path(), InstalledDistributionReader::current()) {
        try {
            bills_ = group_bills(groups, exclusions, *environment);
            builder_.look_up(bills_);
        } catch (...) {
            failure_ = std::current_exception();
        }
        environment.reset();
    }

    void write(const std::filesystem::path& sbom_dir) {
        if (failure_) std::rethrow_exception(failure_);
        builder_.write(sbom_dir, bills_);
    }

private:
    static std::vector<GroupBill> group_bills(const std::vector<GroupInput>& groups,
                                              const std::optional<std::vector<std::string>>& exclusions,
                                              const DependencyMap& environment) {
        std::vector<Package> excluded;
        for (const std::string& name : exclusions.value_or(std::vector<std::string>{})) {
            excluded.push_back(Package::from_string(name));
        }
        std::vector<GroupBill> bills;
        const GroupGraphs graphs(environment);
        for (const GroupInput& group : groups) {
            std::vector<Package> roots;
            for (const std::string& requirement : group.groups()) roots.push_back(Package::from_string(requirement));
            DependencyMap::SubMapView view = environment.view_from_roots(roots, excluded);
            bills.push_back(GroupBill{group.name(), group.groups(), graphs.of(view, roots)});
        }
        return bills;
    }

    std::vector<GroupBill> bills_;
    std::exception_ptr failure_;
    BillOfMaterialsBuilder builder_;
};

// The consistency checks of a release, before it is pinned: the warnings
// come before the error of a package the lookup finds unpinned.
void check_release(const InstalledRequirements& installed, const ResolvedPins& pins,
                   const std::filesystem::path& resolved_file, const std::vector<GroupOutput>& outputs, bool strict) {
    ConsistencyCheck check(installed);
    check.compare_with_pins(pins.in_environment(), resolved_file.string());
    for (const GroupOutput& output : outputs) {
        // Text forms of packages: the name ends where the extras begin.
        for (const std::string& requirement : output.reqs) {
            check.check_reached(std::string_view(requirement).substr(0, requirement.find('[')));
        }
    }
    check.enforce(strict, "nothing written");
}

}  // namespace

PackageExtrasManagerConstants PackageExtrasManagerConstants::compute(const std::optional<std::string>& install_root,
                                                                     const std::filesystem::path& executable,
                                                                     const std::optional<std::string>& index_user,
                                                                     const std::optional<std::string>& index_pass,
                                                                     const std::string& index_host) {
    PackageExtrasManagerConstants c;
    if (install_root && !install_root->empty()) {
        c.ROOT_PATH = resolved(*install_root);
    } else {
        // <root>/<prefix>/bin/<executable>: two levels above the binary's folder.
        c.ROOT_PATH = resolved(executable).parent_path().parent_path().parent_path();
    }
    c.RUNTIME_FOLDER = c.ROOT_PATH / "runtime";
    c.RUNTIME_REQUIREMENTS = c.RUNTIME_FOLDER / "requirements_quorl_runtime.txt";
    c.SETUP_FOLDER = c.ROOT_PATH / "setup";
    c.DEFAULT_EXCLUDE_TXT = c.SETUP_FOLDER / "exclude.txt";
    c.DEFAULT_EXTRAS_PYPI = {index_url(index_user, index_pass, index_host, "pypi-all"),
                             index_url(index_user, index_pass, index_host, "pypi-snapshot")};
    c.DEFAULT_TRUSTED_DOMAINS = {index_host};
    return c;
}

const PackageExtrasManagerConstants& PackageExtrasManager::constants() {
    static const PackageExtrasManagerConstants computed = [] {
        const std::optional<std::string> root = environment_value("QUORL_INSTALL_ROOT");
        // The executable is only needed without an explicit root.
        const std::filesystem::path exe = (root && !root->empty()) ? std::filesystem::path() : own_executable();
        return PackageExtrasManagerConstants::compute(root, exe, environment_value("INDEX_USER"),
                                                      environment_value("INDEX_PASS"), QUORL_INDEX_HOST);
    }();
    return computed;
}

GeneratorOutput PackageExtrasManager::resolve_requirements(const std::filesystem::path& input_in_file_path,
                                                           const std::filesystem::path& output_req_txt_path,
                                                           const std::string& output_txt_name,
                                                           const std::vector<std::string>& extras_list,
                                                           const std::vector<std::string>& trusted_domains) {
    const GeneratorInput input(input_in_file_path, output_req_txt_path, output_txt_name, extras_list, trusted_domains);
    return RequirementGenerator::generate_requirement_file(input);
}

void PackageExtrasManager::install_requirements(const GeneratorOutput& gen_output,
                                                const std::vector<std::string>& extras_list,
                                                const std::vector<std::string>& trusted_domains) {
    RequirementGenerator::install_requirements(gen_output.txt_path, extras_list, trusted_domains);
}

// --- Release groups: the group side of the release flow ------------------

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

std::vector<GroupInput> PackageExtrasManager::compose_groups_from_req_extras(
    const std::string& requirement, const std::filesystem::path& req_file_path) {
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
                                                  bool strict, const std::optional<std::filesystem::path>& sbom_dir) {
    std::set<std::filesystem::path> requirement_paths;
    for (const GroupInput& group : groups) requirement_paths.insert(group.requirements_path());
    if (requirement_paths.size() != 1) throw AssertionError();

    const std::filesystem::path& resolved_file = *requirement_paths.begin();
    const ResolvedPins pins = read_resolved_pins(resolved_file);
    std::optional<std::vector<std::string>> exclusions;
    if (exclude_txt_path) exclusions = GroupGenerator::parse_exclude_txt(*exclude_txt_path);
    const std::vector<Package> roots = GroupGenerator::roots_of(groups);
    if (sbom_dir) InstalledDistributionReader::current().keep_details();
    // Held only as long as something needs it: the map is freed before
    // pinning, which then reuses its memory (the pinned lists were the peak
    // of a release).
    std::optional<DependencyMap> environment;
    std::vector<GroupOutput> outputs;
    {
        InstalledRequirements installed;
        environment.emplace(
            DependencyMap::from_installed(InstalledDistributionReader::current(), true, &installed, &roots));
        outputs = GroupGenerator::generate_groups(*environment, groups, exclusions);
        check_release(installed, pins, resolved_file, outputs, strict);
    }
    std::optional<ReleaseBills> bills;
    if (sbom_dir) bills.emplace(groups, exclusions, environment, pins.in_environment());
    environment.reset();
    PinnedGroups pinned = RequirementGenerator::generate_pinned_versions_groups(
        pins.versions, GroupGenerator::from_group_outputs_to_req_dict(std::move(outputs)), true, resolved_file);
    if (bills) bills->write(*sbom_dir);
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
