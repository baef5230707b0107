// `why`: which groups reach a package, and through which shortest chains.
// Answered from each group's view of the environment, the sub-map that
// `groups` prints.
#include <memory>

#include "cli/commands.h"
#include "cli/group_selection.h"
#include "environment/distribution_reader.h"
#include "groups/group_generator.h"
#include "model/dependency_map.h"
#include "model/package.h"
#include "model/sub_map_view.h"
#include "pep/canonical_name.h"
#include "support/errors.h"
#include "support/kept_until_exit.h"
#include "support/output.h"

namespace quorl::cli {
namespace {

// The package asked about, by canonical name: with extras ("requests[socks]")
// only the variants holding them are targets, without any variant is.
Package target_named(const std::string& text) {
    const Package written = Package::from_string(text);
    return Package::from_canonical_name(canonical_name(written.name()), written.extras());
}

std::string chain_text(const std::vector<const Package*>& chain) {
    std::string text;
    for (const Package* package : chain) {
        if (!text.empty()) text += " -> ";
        text += package->to_string();
    }
    return text;
}

// The one line that says why nothing was printed. The map holds only what
// the groups reach, so whether the package is installed at all is asked of
// the reader.
std::string nothing_reaches(const Package& target, const std::unordered_set<std::string>& excluded) {
    const std::string name = target.to_string();
    if (excluded.count(target.name())) return name + " was excluded: no group reaches it";
    if (!InstalledDistributionReader::current().find_distribution(target.name())) {
        return name + " is not in the installed environment";
    }
    return "No group reaches " + name;
}

}  // namespace

void why(const WhyArguments& args) {
    const GroupSelection selection = select_groups(args);
    const Package target = target_named(args.package);
    // Freed by the exit rather than piece by piece (support/kept_until_exit.h).
    const std::vector<Package> roots = GroupGenerator::roots_of(selection.groups);
    DependencyMap& installed_map = keep_until_exit(std::make_unique<DependencyMap>(
        DependencyMap::from_installed(InstalledDistributionReader::current(), true, nullptr, &roots)));
    const std::unordered_set<std::string> excluded = apply_exclude_file(selection, installed_map);

    const auto is_target = [&target](const Package& package) { return target.included_in(package); };
    StdoutWriter out;
    bool reached = false;
    for (const GroupInput& group : selection.groups) {
        DependencyMap::SubMapView group_map = installed_map.view_from_roots(roots_of(group));
        bool titled = false;
        reached |= group_map.for_each_shortest_chain(is_target, [&](const std::vector<const Package*>& chain) {
            if (!titled) out.line(group.name());
            titled = true;
            out.line("  " + chain_text(chain));
        });
    }
    out.flush();
    if (!reached) throw ValueError(nothing_reaches(target, excluded));
}

}  // namespace quorl::cli
