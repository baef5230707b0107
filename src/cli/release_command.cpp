#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "release/package_extras_manager.h"
#include "support/files.h"

namespace quorl::cli {
namespace {

// Members in the mapping's order, 2-space layout, pure ASCII (\uXXXX
// escapes), no final line break. Bytes that are not UTF-8 become U+FFFD
// rather than failing after all the work is done.
std::string release_json_text(const PinnedGroups& pinned) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const auto& [name, lines] : pinned) document[name] = lines;
    return document.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

void release(const ReleaseArguments& args) {
    const auto groups = PackageExtrasManager::release_groups(args.resolved_reqs_path);
    const PinnedGroups pinned = PackageExtrasManager::process_groups(groups, args.excluded_packages_path);
    // Written only now, after everything was computed, and atomically, so a
    // failure never leaves a half-written or lost file.
    files::replace_atomically(args.release_out, release_json_text(pinned));
}

}  // namespace quorl::cli
