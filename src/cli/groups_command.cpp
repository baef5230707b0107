#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "checks/consistency_check.h"
#include "cli/commands.h"
#include "cli/group_string.h"
#include "environment/distribution_reader.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "model/sub_map_view.h"
#include "pep/canonical_name.h"
#include "release/package_extras_manager.h"
#include "resolution/requirement_generator.h"
#include "support/errors.h"
#include "support/kept_until_exit.h"
#include "support/logging.h"
#include "support/output.h"
#include "support/pure_path.h"
#include "support/text.h"

namespace quorl::cli {
namespace {

// The groups asked for, and the exclude file that applies to them.
struct GroupSelection {
    std::vector<GroupInput> groups;
    std::optional<std::filesystem::path> exclude_path;
};

// Everything that needs only the command line (and, for "-e", the extras of
// one installed package) comes before the environment is read, so that a bad
// group string or a duplicate name fails at once.
GroupSelection select_groups(const GroupsArguments& args) {
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

// A root that is not installed reaches nothing; say so, and point at the
// installed package that differs only in spelling when there is one. A root
// the exclude file removed, or an empty one, is named for what it is.
class MissingRootReporter {
public:
    MissingRootReporter(const DependencyMap& installed_map, const std::unordered_set<std::string>& excluded)
        : installed_map_(installed_map), excluded_(excluded) {}

    void check(const GroupInput& group, const std::vector<Package>& roots) {
        for (const Package& root : roots) {
            if (installed_map_.contains(root.base())) continue;
            if (root.to_string().empty()) {
                log::warning("An empty root of group " + group.name() + " reaches nothing");
                continue;
            }
            if (excluded_.count(root.name())) {
                log::warning("Root " + root.to_string() + " of group " + group.name() +
                             " was excluded and reaches nothing");
                continue;
            }
            std::string message =
                "Root " + root.to_string() + " of group " + group.name() + " is not in the installed environment";
            if (const Package* installed = installed_spelling(root.name())) {
                message += "; the installed package is " + installed->to_string();
            }
            log::warning(message);
        }
    }

private:
    const Package* installed_spelling(const std::string& name) {
        if (by_canonical_name_.empty()) {
            packages_ = installed_map_.packages();
            for (const Package& package : packages_) {
                if (!package.has_extras()) by_canonical_name_.emplace(canonical_name(package.name()), &package);
            }
        }
        const auto found = by_canonical_name_.find(canonical_name(name));
        return found == by_canonical_name_.end() ? nullptr : found->second;
    }

    const DependencyMap& installed_map_;
    const std::unordered_set<std::string>& excluded_;
    std::vector<Package> packages_;
    std::unordered_map<std::string, const Package*> by_canonical_name_;
};

// Warns where the installed environment disagrees with the resolved file or
// with itself, for everything the groups reach. The resolved file matters
// only here: when it cannot be read that is one warning, and the
// requirements are still checked.
void compare_with_resolved_file(ConsistencyCheck& check, const GroupsArguments& args) {
    check.compare_with_pins(
        [&args] { return RequirementGenerator::read_requirements_versions(args.resolved_reqs_path); },
        args.resolved_reqs_path.string());
}

// Checks everything the groups reach: what they reach together is what the
// union of their roots reaches, one traversal however many groups there
// are. The warnings come in the order of the environment's map (mostly by
// name).
void check_everything_reached(ConsistencyCheck& check, const std::vector<GroupInput>& groups,
                              const DependencyMap& installed_map) {
    DependencyMap::SubMapView reached = installed_map.view_from_roots(GroupGenerator::roots_of(groups));
    reached.for_each_package([&check](const Package& package) { check.check_reached(package); });
}

void print_title(StdoutWriter& out, const std::string& name) {
    out.line(name);
    out.line(std::string(text::count_code_points(name), '='));
}

void print_layers(StdoutWriter& out, DependencyMap::SubMapView& group_map, std::optional<int> depth) {
    // Each line goes into the output buffer in pieces, its indentation cut
    // from one run of spaces: a line assembled first was copied twice.
    std::string spaces;
    group_map.for_each_by_depth(depth, [&](std::size_t level, const Package& package) {
        if (spaces.size() < 2 * level) spaces.resize(2 * level, ' ');
        out.write(std::string_view(spaces).substr(0, 2 * level));
        out.write("- ");
        out.line(package.to_string());
    });
}

// Prints each group: its title, then its layered listing or its tree.
void print_groups(const GroupsArguments& args, const GroupSelection& selection, const DependencyMap& installed_map,
                  const std::unordered_set<std::string>& excluded) {
    StdoutWriter out;
    out.line("Generating groups from " + pure_path::name(args.resolved_reqs_path));
    MissingRootReporter missing_roots(installed_map, excluded);
    for (const GroupInput& group : selection.groups) {
        std::vector<Package> roots;
        for (const std::string& requirement : group.groups()) roots.push_back(Package::from_string(requirement));
        missing_roots.check(group, roots);
        // Viewed in place rather than extracted: each group's own sub-map
        // cost more to build and free than to print.
        DependencyMap::SubMapView group_map = installed_map.view_from_roots(roots);
        print_title(out, group.name());
        if (args.graph) {
            // Written line by line: a tree repeats shared subtrees under every
            // parent and can be far larger than the memory it would need.
            group_map.for_each_tree_line(true, [&out](std::string_view line) { out.line(line); });
        } else {
            print_layers(out, group_map, args.depth);
        }
    }
    out.flush();
}

}  // namespace

void generate_groups(const GroupsArguments& args) {
    const GroupSelection selection = select_groups(args);
    // Freed by the exit rather than piece by piece (support/kept_until_exit.h).
    InstalledRequirements& installed = keep_until_exit(std::make_unique<InstalledRequirements>());
    const std::vector<Package> roots = GroupGenerator::roots_of(selection.groups);
    DependencyMap& installed_map = keep_until_exit(std::make_unique<DependencyMap>(
        DependencyMap::from_installed(InstalledDistributionReader::current(), true, &installed, &roots)));
    // Excluded before extracting, unlike a release: GroupGenerator::generate_group says why.
    // Names of the installed packages the exclude file removed.
    std::unordered_set<std::string> excluded;
    if (selection.exclude_path) {
        for (const std::string& name : GroupGenerator::parse_exclude_txt(*selection.exclude_path)) {
            const Package package = Package::from_string(name);
            if (!package.has_extras() && installed_map.contains(package)) excluded.insert(package.name());
            installed_map.remove_package(package);
        }
    }
    ConsistencyCheck& check = keep_until_exit(std::make_unique<ConsistencyCheck>(installed));
    compare_with_resolved_file(check, args);
    // With --strict a warning stops the run before anything is printed;
    // otherwise the warnings follow the listing, never inside it, and still
    // come before the error of a group that fails.
    const auto check_and_warn = [&](bool strict) {
        check_everything_reached(check, selection.groups, installed_map);
        check.enforce(strict, "nothing printed");
    };
    if (args.strict) check_and_warn(true);
    try {
        print_groups(args, selection, installed_map, excluded);
    } catch (const ValueError&) {  // a root that does not parse, after the groups before it
        if (!args.strict) check_and_warn(false);
        throw;
    }
    if (!args.strict) check_and_warn(false);
}

}  // namespace quorl::cli
