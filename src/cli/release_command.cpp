#include "cli/commands.h"
#include "cli/release_json.h"
#include "release/package_extras_manager.h"
#include "support/files.h"

namespace quorl::cli {

void release(const ReleaseArguments& args) {
    const auto groups = PackageExtrasManager::release_groups(args.resolved_reqs_path);
    const PinnedGroups pinned = PackageExtrasManager::process_groups(groups, args.excluded_packages_path, args.strict);
    // Written only now, after everything was computed, and atomically, so a
    // failure never leaves a half-written or lost file.
    files::replace_atomically(args.release_out, release_json_text(pinned));
}

}  // namespace quorl::cli
