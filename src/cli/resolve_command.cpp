#include <iostream>

#include "cli/commands.h"
#include "release/package_extras_manager.h"
#include "support/pure_path.h"

namespace quorl::cli {

void resolve_dependencies(const ResolveArguments& arguments) {
    const PackageExtrasManagerConstants& defaults = PackageExtrasManager::constants();
    // Given values replace the defaults entirely; they are never merged.
    const std::vector<std::string>& index_urls =
        arguments.extra_index_urls.empty() ? defaults.DEFAULT_EXTRAS_PYPI : arguments.extra_index_urls;
    const std::vector<std::string>& trusted_domains =
        arguments.trusted_domains.empty() ? defaults.DEFAULT_TRUSTED_DOMAINS : arguments.trusted_domains;
    const std::filesystem::path requirements_in = arguments.requirements_in.value_or(defaults.RUNTIME_REQUIREMENTS);
    const std::filesystem::path resolved_out =
        arguments.resolved_out.empty() ? std::filesystem::path("resolved.txt") : arguments.resolved_out;

    // "out/x/" is the file x in out, as the user would read it.
    const std::string output_name = pure_path::name(resolved_out);
    // Flushed: the resolver's own output must come after this line.
    std::cout << "Generating " << output_name << " from " << pure_path::name(requirements_in) << std::endl;

    const GeneratorOutput result = PackageExtrasManager::resolve_requirements(
        requirements_in, pure_path::parent(resolved_out), output_name, index_urls, trusted_domains);

    if (arguments.install) {
        std::cout << "Installing dependencies..." << std::endl;
        PackageExtrasManager::install_requirements(result, index_urls, trusted_domains);
    }
}

}  // namespace quorl::cli
