#include <iostream>

#include "cli/commands.h"
#include "release/package_extras_manager.h"

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
        arguments.resolved_out.empty() ? std::filesystem::path(DEFAULT_RESOLVED_OUT) : arguments.resolved_out;

    // Flushed: the resolver's own output must come after this line.
    std::cout << "Generating " << resolved_out.filename().string() << " from "
              << requirements_in.filename().string() << std::endl;

    const std::filesystem::path output_directory =
        resolved_out.has_parent_path() ? resolved_out.parent_path() : std::filesystem::path(".");
    const GeneratorOutput result = PackageExtrasManager::resolve_requirements(
        requirements_in, output_directory, resolved_out.filename().string(), index_urls, trusted_domains);

    if (arguments.install) {
        std::cout << "Installing dependencies..." << std::endl;
        PackageExtrasManager::install_requirements(result, index_urls, trusted_domains);
    }
}

}  // namespace quorl::cli
