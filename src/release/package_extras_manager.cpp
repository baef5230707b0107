#include "release/package_extras_manager.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "resolution/generator_input.h"
#include "resolution/requirement_generator.h"
#include "support/errors.h"
#include "support/url_credentials.h"

// The build names the private index host (CMake's QUORL_INDEX_HOST cache
// variable), so that there is one place to change it.
#ifndef QUORL_INDEX_HOST
#error "QUORL_INDEX_HOST must name the private index host"
#endif

namespace quorl {
namespace {

std::optional<std::string> environment_value(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// Absolute, with the symlinks of its existing part resolved.
std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path result = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    return error ? std::filesystem::absolute(path).lexically_normal() : result;
}

// User and password are percent-encoded where a character of theirs would
// end the user-info, so that the URL reads back as exactly these credentials
// ("1234/abc" must not become a path on another host).
std::string index_url(const std::optional<std::string>& user, const std::optional<std::string>& pass,
                      const std::string& host, const char* repository) {
    static constexpr std::string_view SUB_DELIMS = "!$&'()*+,;=";
    std::string url = "https://";
    if (user || pass) {
        url += percent_encode(user.value_or(""), SUB_DELIMS) + ":" + percent_encode(pass.value_or(""), SUB_DELIMS) + "@";
    }
    return url + host + "/repository/" + repository + "/simple";
}

std::filesystem::path own_executable() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw OsError("cannot locate the running executable: " + error.message());
    return exe;
}

}  // namespace

PackageExtrasManagerConstants PackageExtrasManagerConstants::compute(
    const std::optional<std::string>& install_root, const std::filesystem::path& executable,
    const std::optional<std::string>& index_user, const std::optional<std::string>& index_pass,
    const std::string& index_host) {
    PackageExtrasManagerConstants c;
    if (install_root && !install_root->empty()) {
        c.ROOT_PATH = resolved(*install_root);
    } else {
        // <root>/<prefix>/bin/<executable>: two levels above the binary's folder.
        c.ROOT_PATH = resolved(executable).parent_path().parent_path().parent_path();
    }
    c.RUNTIME_FOLDER = c.ROOT_PATH / "runtime";
    c.RUNTIME_REQUIREMENTS = c.RUNTIME_FOLDER / "requirements_quorl_runtime.txt";
    c.SETUP_FOLDER = c.ROOT_PATH / "setup";
    c.DEFAULT_EXCLUDE_TXT = c.SETUP_FOLDER / "exclude.txt";
    c.DEFAULT_EXTRAS_PYPI = {index_url(index_user, index_pass, index_host, "pypi-all"),
                             index_url(index_user, index_pass, index_host, "pypi-snapshot")};
    c.DEFAULT_TRUSTED_DOMAINS = {index_host};
    return c;
}

const PackageExtrasManagerConstants& PackageExtrasManager::constants() {
    static const PackageExtrasManagerConstants computed = [] {
        const std::optional<std::string> root = environment_value("QUORL_INSTALL_ROOT");
        // The executable is only needed without an explicit root.
        const std::filesystem::path exe = (root && !root->empty()) ? std::filesystem::path() : own_executable();
        return PackageExtrasManagerConstants::compute(root, exe, environment_value("INDEX_USER"),
                                                      environment_value("INDEX_PASS"), QUORL_INDEX_HOST);
    }();
    return computed;
}

GeneratorOutput PackageExtrasManager::resolve_requirements(const std::filesystem::path& input_in_file_path,
                                                           const std::filesystem::path& output_req_txt_path,
                                                           const std::string& output_txt_name,
                                                           const std::vector<std::string>& extras_list,
                                                           const std::vector<std::string>& trusted_domains) {
    const GeneratorInput input(input_in_file_path, output_req_txt_path, output_txt_name, extras_list,
                               trusted_domains);
    return RequirementGenerator::generate_requirement_file(input);
}

void PackageExtrasManager::install_requirements(const GeneratorOutput& gen_output,
                                                const std::vector<std::string>& extras_list,
                                                const std::vector<std::string>& trusted_domains) {
    RequirementGenerator::install_requirements(gen_output.txt_path, extras_list, trusted_domains);
}

}  // namespace quorl
