#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "checks/consistency_check.h"
#include "cli/commands.h"
#include "cli/group_selection.h"
#include "cli/groups_document.h"
#include "environment/distribution_reader.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "model/sub_map_view.h"
#include "pep/canonical_name.h"
#include "release/bill_of_materials.h"
#include "resolution/resolved_pins.h"
#include "support/errors.h"
#include "support/kept_until_exit.h"
#include "support/logging.h"
#include "support/output.h"
#include "support/printable.h"
#include "support/pure_path.h"
#include "support/text.h"

namespace quorl::cli {
namespace {

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
    check.compare_with_pins([&args] { return read_resolved_pins(args.resolved_reqs_path).take_in_environment(); },
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
    // As long as the name is shown, escapes included.
    std::string shown;
    append_escaped_controls(shown, name);
    out.line(std::string(text::count_code_points(shown), '='));
}

void print_layers(StdoutWriter& out, DependencyMap::SubMapView& group_map, std::optional<int> depth) {
    group_map.for_each_by_depth(depth, [&out](std::size_t level, const Package& package) {
        out.indented_line(2 * level, "- ", package.to_string());
    });
}

// Made once the listing is out and the checks have passed: a package the
// resolved file does not pin fails them without a file written.
void write_bills(const GroupsArguments& args, const VersionsMap& versions, const std::vector<GroupBill>& printed) {
    BillOfMaterialsBuilder builder(versions, args.resolved_reqs_path, InstalledDistributionReader::current());
    builder.write(*args.sbom_dir, printed);
}

// Prints each group: its title, then its layered listing or its tree; or, in
// another format, one document of them all. Gives each group's graph when
// bills of materials are asked for.
std::vector<GroupBill> print_groups(const GroupsArguments& args, const GroupSelection& selection,
                                    const DependencyMap& installed_map, const InstalledRequirements& installed,
                                    const std::unordered_set<std::string>& excluded) {
    StdoutWriter out;
    std::unique_ptr<GroupsDocument> document;
    std::optional<InstalledIndex> versions;
    if (args.format == GroupsFormat::TEXT) {
        out.line("Generating groups from " + pure_path::name(args.resolved_reqs_path));
    } else {
        document = make_groups_document(args.format, args.resolved_reqs_path);
        versions.emplace(installed);
        document->start(out);
    }
    MissingRootReporter missing_roots(installed_map, excluded);
    std::vector<GroupBill> printed;
    std::optional<GroupGraphs> graphs;
    if (args.sbom_dir) graphs.emplace(installed_map);
    for (const GroupInput& group : selection.groups) {
        const std::vector<Package> roots = roots_of(group);
        missing_roots.check(group, roots);
        // Viewed in place rather than extracted: each group's own sub-map
        // cost more to build and free than to print.
        DependencyMap::SubMapView group_map = installed_map.view_from_roots(roots);
        if (document) {
            document->add(reached_group(group.name(), roots, group_map, installed, *versions), out);
        } else {
            print_title(out, group.name());
            if (args.graph) {
                // Written line by line: a tree repeats shared subtrees under every
                // parent and can be far larger than the memory it would need.
                group_map.for_each_tree_line(true, [&out](std::string_view line) { out.safe_line(line); });
            } else {
                print_layers(out, group_map, args.depth);
            }
        }
        if (graphs) printed.push_back(GroupBill{group.name(), group.groups(), graphs->of(group_map, roots)});
    }
    if (document) document->finish(out);
    out.flush();
    return printed;
}

}  // namespace

void generate_groups(const GroupsArguments& args) {
    const GroupSelection selection = select_groups(args);
    if (args.format != GroupsFormat::TEXT && (args.graph || args.depth)) {
        log::warning("--graph and --depth shape the text format only: the document holds everything the groups reach");
    }
    // Freed by the exit rather than piece by piece (support/kept_until_exit.h).
    InstalledRequirements& installed = keep_until_exit(std::make_unique<InstalledRequirements>());
    const std::vector<Package> roots = GroupGenerator::roots_of(selection.groups);
    if (args.sbom_dir) InstalledDistributionReader::current().keep_details();
    DependencyMap& installed_map = keep_until_exit(std::make_unique<DependencyMap>(
        DependencyMap::from_installed(InstalledDistributionReader::current(), true, &installed, &roots)));
    const std::unordered_set<std::string> excluded = apply_exclude_file(selection, installed_map);
    ConsistencyCheck& check = keep_until_exit(std::make_unique<ConsistencyCheck>(installed));
    // The bills need the pins: then they are read once, before anything is
    // printed, and a resolved file that cannot be read is an error.
    std::optional<VersionsMap> pins;
    if (args.sbom_dir) {
        pins = read_resolved_pins(args.resolved_reqs_path).take_in_environment();
        check.compare_with_pins(*pins, args.resolved_reqs_path.string());
    } else {
        compare_with_resolved_file(check, args);
    }
    // With --strict a warning stops the run before anything is printed;
    // otherwise the warnings follow the listing, never inside it, and still
    // come before the error of a group that fails.
    const auto check_and_warn = [&](bool strict) {
        check_everything_reached(check, selection.groups, installed_map);
        check.enforce(strict, "nothing printed");
    };
    if (args.strict) check_and_warn(true);
    std::vector<GroupBill> printed;
    try {
        printed = print_groups(args, selection, installed_map, installed, excluded);
    } catch (const ValueError&) {  // a root that does not parse, after the groups before it
        if (!args.strict) check_and_warn(false);
        throw;
    }
    if (!args.strict) check_and_warn(false);
    if (args.sbom_dir) write_bills(args, *pins, printed);
}

}  // namespace quorl::cli
