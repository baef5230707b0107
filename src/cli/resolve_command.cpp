#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "environment/interpreter_discovery.h"
#include "release/package_extras_manager.h"
#include "resolution/resolver_choice.h"
#include "support/errors.h"
#include "support/file_lock.h"
#include "support/files.h"
#include "support/pure_path.h"

namespace quorl::cli {
namespace {

// Two runs on one pinned file would each install what the other resolved,
// or a mix of both: they take turns on a lock beside the file (through
// symlinks, so two links to one file share it). A path that cannot be a
// file gets no lock; the resolver reports it.
std::optional<FileLock> lock_pinned_file(const std::filesystem::path& pinned) {
    std::optional<std::filesystem::path> file;
    try {
        file = files::replaced_file(pinned);
    } catch (const OsError&) {}
    if (!file) return std::nullopt;
    return std::optional<FileLock>(std::in_place, FileLock::beside(*file));
}

}  // namespace

void resolve_dependencies(const ResolveArguments& arguments) {
    const PackageExtrasManagerConstants& defaults = PackageExtrasManager::constants();
    // Given values replace the defaults entirely; they are never merged.
    const std::vector<std::string>& index_urls =
        arguments.extra_index_urls.empty() ? defaults.DEFAULT_EXTRAS_PYPI : arguments.extra_index_urls;
    const std::vector<std::string>& trusted_domains =
        arguments.trusted_domains.empty() ? defaults.DEFAULT_TRUSTED_DOMAINS : arguments.trusted_domains;
    const std::filesystem::path requirements_in = arguments.requirements_in.value_or(defaults.RUNTIME_REQUIREMENTS);
    const std::filesystem::path resolved_out =
        arguments.resolved_out.empty() ? std::filesystem::path(DEFAULT_RESOLVED_OUT) : arguments.resolved_out;

    // "out/x/" is the file x in out, as the user would read it.
    const std::string output_name = pure_path::name(resolved_out);
    // Flushed: the resolver's own output must come after this line.
    std::cout << "Generating " << output_name << " from " << pure_path::name(requirements_in) << std::endl;

    // Said before a resolver runs for minutes and rewrites the pinned file.
    if (arguments.install) require_pip(find_python_interpreter(), PipUse::Install);

    // Held until the installation has ended.
    const std::optional<FileLock> lock = lock_pinned_file(resolved_out);

    const GeneratorOutput result = PackageExtrasManager::resolve_requirements(
        requirements_in, pure_path::parent(resolved_out), output_name, index_urls, trusted_domains);

    if (arguments.install) {
        std::cout << "Installing dependencies..." << std::endl;
        PackageExtrasManager::install_requirements(result, index_urls, trusted_domains);
    }
}

}  // namespace quorl::cli
