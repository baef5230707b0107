#include <memory>
#include <unordered_map>

#include "cli/commands.h"
#include "cli/release_json.h"
#include "release/indented_json_writer.h"
#include "release/package_extras_manager.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/kept_until_exit.h"

namespace quorl::cli {
namespace {

// Bytes that are not UTF-8 are written as U+FFFD, so two group names that
// differ only there would be one key twice, and readers of the JSON keep
// one of the two groups. Only the extras of the model library package give
// names that are not fixed ASCII text. Checked before any work is done.
void reject_names_the_json_cannot_tell_apart(const std::vector<GroupInput>& groups) {
    std::unordered_map<std::string, const std::string*> name_by_key;
    for (const GroupInput& group : groups) {
        const auto [found, inserted] = name_by_key.try_emplace(json_string(group.name()), &group.name());
        if (inserted || *found->second == group.name()) continue;
        throw ValueError(std::string("Distribution ") + PackageExtrasManager::MODEL_LIBRARY_PACKAGE +
                         " declares the extras '" + *found->second + "' and '" + group.name() +
                         "', which differ only in bytes that are not UTF-8: the release JSON would write both as " +
                         found->first);
    }
}

}  // namespace

void release(const ReleaseArguments& args) {
    const auto groups = PackageExtrasManager::release_groups(args.resolved_reqs_path);
    reject_names_the_json_cannot_tell_apart(groups);
    // The bills of materials, when asked for, are written as the last step of
    // the computation, each atomically.
    // Some ten thousand lists of a large environment, freed by the exit
    // rather than piece by piece (support/kept_until_exit.h).
    const PinnedGroups& pinned = keep_until_exit(std::make_unique<PinnedGroups>(
        PackageExtrasManager::process_groups(groups, args.excluded_packages_path, args.strict, args.sbom_dir)));
    // Written only now, after everything was computed, and atomically, so a
    // failure never leaves a half-written or lost file.
    files::replace_atomically(args.release_out, release_json_text(pinned));
}

}  // namespace quorl::cli
