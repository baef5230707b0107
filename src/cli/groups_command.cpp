#include <unordered_map>
#include <unordered_set>

#include "cli/commands.h"
#include "cli/group_string.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "python/canonical_name.h"
#include "release/package_extras_manager.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/output.h"
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
        for (GroupInput& group : PackageExtrasManager::compose_groups_from_req_extras(package, args.resolved_reqs_path)) {
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
// installed package that differs only in spelling when there is one.
class MissingRootReporter {
public:
    explicit MissingRootReporter(const DependencyMap& environment) : environment_(environment) {}

    void check(const GroupInput& group, const std::vector<Package>& roots) {
        for (const Package& root : roots) {
            if (environment_.contains(root.base())) continue;
            std::string message = "Root " + root.to_string() + " of group " + group.name() +
                                  " is not in the installed environment";
            if (const Package* installed = installed_spelling(root.name())) {
                message += "; the installed package is " + installed->to_string();
            }
            log::warning(message);
        }
    }

private:
    const Package* installed_spelling(const std::string& name) {
        if (by_canonical_name_.empty()) {
            packages_ = environment_.packages();
            for (const Package& package : packages_) {
                if (!package.has_extras()) by_canonical_name_.emplace(canonical_name(package.name()), &package);
            }
        }
        const auto found = by_canonical_name_.find(canonical_name(name));
        return found == by_canonical_name_.end() ? nullptr : found->second;
    }

    const DependencyMap& environment_;
    std::vector<Package> packages_;
    std::unordered_map<std::string, const Package*> by_canonical_name_;
};

void print_title(StdoutWriter& out, const std::string& name) {
    out.line(name);
    out.line(std::string(text::count_code_points(name), '='));
}

void print_layers(StdoutWriter& out, const DependencyMap& group_map, std::optional<int> depth) {
    std::string line;
    group_map.for_each_by_depth(depth, [&](std::size_t level, const Package& package) {
        line.assign(2 * level, ' ');
        line += "- ";
        line += package.to_string();
        out.line(line);
    });
}

}  // namespace

void generate_groups(const GroupsArguments& args) {
    const GroupSelection selection = select_groups(args);
    DependencyMap environment = DependencyMap::from_installed(true);
    if (selection.exclude_path) {
        for (const std::string& name : GroupGenerator::parse_exclude_txt(*selection.exclude_path)) {
            environment.remove_package(Package::from_string(name));
        }
    }

    StdoutWriter out;
    out.line("Generating groups from " + args.resolved_reqs_path.filename().string());
    MissingRootReporter missing_roots(environment);
    for (const GroupInput& group : selection.groups) {
        std::vector<Package> roots;
        for (const std::string& requirement : group.groups()) roots.push_back(Package::from_string(requirement));
        missing_roots.check(group, roots);
        const DependencyMap group_map = environment.extract_from_roots(roots);
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

}  // namespace quorl::cli
