// PackageExtrasManager: the one place where requirement resolution and group
// generation meet, and the product configuration they share (install-root
// paths, default private indexes, release groups). Stateless: every operation
// is a static member function taking all its inputs as arguments.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "groups/group_input.h"
#include "release/bill_of_materials.h"
#include "resolution/generator_input.h"
#include "resolution/generator_output.h"
#include "resolution/requirement_generator.h"

namespace quorl {

// One of the fixed groups every release carries, before the groups made from
// the extras of the model library package.
struct FixedReleaseGroup {
    const char* name;
    std::vector<std::string> roots;  // requirement strings
};

// The five fixed release groups, in release order.
const std::vector<FixedReleaseGroup>& fixed_release_groups();

// The module constants, computed once per process (see
// PackageExtrasManager::constants()).
struct PackageExtrasManagerConstants {
    std::filesystem::path ROOT_PATH;             // the install root
    std::filesystem::path RUNTIME_FOLDER;        // ROOT_PATH/runtime
    std::filesystem::path RUNTIME_REQUIREMENTS;  // RUNTIME_FOLDER/requirements_quorl_runtime.txt
    std::filesystem::path SETUP_FOLDER;          // ROOT_PATH/setup
    std::filesystem::path DEFAULT_EXCLUDE_TXT;   // SETUP_FOLDER/exclude.txt
    // "https://[USER:PASS@]HOST/repository/pypi-all/simple", then the same
    // with pypi-snapshot; USER and PASS percent-encoded where a character of
    // theirs would end the user-info. Contain credentials: never print them
    // unredacted, never hand them to a child (see IndexAccess).
    std::vector<std::string> DEFAULT_EXTRAS_PYPI;
    std::vector<std::string> DEFAULT_TRUSTED_DOMAINS;  // { HOST }

    // The constants for the given inputs (no environment or file system
    // access besides resolving symlinks of the paths). `install_root` wins
    // over `executable`, whose directory's grandparent is the root otherwise.
    // An unset user or password contributes the empty text; when both are
    // unset the URLs carry no credentials part at all.
    static PackageExtrasManagerConstants compute(const std::optional<std::string>& install_root,
                                                 const std::filesystem::path& executable,
                                                 const std::optional<std::string>& index_user,
                                                 const std::optional<std::string>& index_pass,
                                                 const std::string& index_host);
};

class PackageExtrasManager {
public:
    // The constants of this process, computed on the first call from
    // QUORL_INSTALL_ROOT, the executable's own path (/proc/self/exe),
    // INDEX_USER, INDEX_PASS and the build's private index host. Later
    // changes of the environment are not seen. The app calls this at start-up
    // for its defaults, so that every later use sees the same values.
    static const PackageExtrasManagerConstants& constants();

    // The pinned file a resolver run writes unless told otherwise.
    static constexpr const char* DEFAULT_TXT_NAME = GeneratorInput::DEFAULT_TXT_NAME.data();

    // Resolves `input_in_file_path` with the environment's resolver into
    // `output_req_txt_path`/`output_txt_name` and returns the pins read back.
    // Errors of the resolver run propagate (ResolverExit on a failed run).
    static GeneratorOutput resolve_requirements(
        const std::filesystem::path& input_in_file_path = constants().RUNTIME_REQUIREMENTS,
        const std::filesystem::path& output_req_txt_path = constants().SETUP_FOLDER,
        const std::string& output_txt_name = DEFAULT_TXT_NAME,
        const std::vector<std::string>& extras_list = constants().DEFAULT_EXTRAS_PYPI,
        const std::vector<std::string>& trusted_domains = constants().DEFAULT_TRUSTED_DOMAINS);

    // Installs the pinned file of `gen_output` into the environment with pip;
    // throws QuorlError("Error installing dependencies") when pip fails.
    static void install_requirements(
        const GeneratorOutput& gen_output,
        const std::vector<std::string>& extras_list = constants().DEFAULT_EXTRAS_PYPI,
        const std::vector<std::string>& trusted_domains = constants().DEFAULT_TRUSTED_DOMAINS);

    // The package whose extras become release groups of their own.
    static constexpr const char* MODEL_LIBRARY_PACKAGE = "corvaneth-quorl-tessaly";

    // The five fixed release groups, then one group per extra of the
    // installed model library package, all pointing at `resolved_txt`.
    static std::vector<GroupInput> release_groups(const std::filesystem::path& resolved_txt);

    // Given a package, build a group for each of its extras: named after the
    // extra, with the package carrying that single extra as its only root.
    static std::vector<GroupInput> compose_groups_from_req_extras(const std::string& requirement,
                                                                  const std::filesystem::path& req_file_path);

    // Processes a list of group input into a map of group name to an
    // exhaustive list of transitive dependencies with pinned versions; the
    // requirements must be installed. All groups must share one requirements
    // file (AssertionError otherwise, before any file is read); its pins are
    // read before the environment. Without `exclude_txt_path` nothing is
    // excluded. Before pinning, every distribution the groups reach is
    // checked against the pins and the environment (ConsistencyCheck); with
    // `strict` a warning of that check throws QuorlError. With `sbom_dir`,
    // once all of that succeeded, each group's bill of materials is written
    // there, made from the same map (release/bill_of_materials.h).
    static PinnedGroups process_groups(const std::vector<GroupInput>& groups,
                                       const std::optional<std::filesystem::path>& exclude_txt_path = std::nullopt,
                                       bool strict = false,
                                       const std::optional<std::filesystem::path>& sbom_dir = std::nullopt);

    // The whole release flow: resolve, install, compute the release groups
    // against the fresh pins. Writes only the pinned file. No command calls
    // it: `resolve --install` and `release` run its steps one by one.
    static PinnedGroups generate_extras_to_setup(
        const std::filesystem::path& input_in_file_path = constants().RUNTIME_REQUIREMENTS,
        const std::filesystem::path& output_req_txt_path = constants().SETUP_FOLDER,
        const std::string& output_txt_name = DEFAULT_TXT_NAME,
        const std::filesystem::path& exclude_txt_path = constants().DEFAULT_EXCLUDE_TXT,
        const std::vector<std::string>& extras_list = constants().DEFAULT_EXTRAS_PYPI,
        const std::vector<std::string>& trusted_domains = constants().DEFAULT_TRUSTED_DOMAINS);
};

}  // namespace quorl
