// RequirementGenerator: turns a requirements input file of root requirements
// into a file pinning every transitive dependency (with the environment's
// resolver), cleans and reads such files back, pins groups of requirements
// with their versions, and installs a pinned file with pip. Stateless: every
// operation is a static member function.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "resolution/generator_input.h"
#include "resolution/generator_output.h"
#include "resolution/pinned_requirements.h"

namespace quorl {

class RequirementGenerator {
public:
    // Packages that never get a pinned entry (exact, case-sensitive names).
    static inline const std::vector<std::string> NO_VERSION_PACKAGES{"setuptools"};
    // Entries removed from every freshly resolved file.
    static inline const std::vector<std::string> REMOVED_ENTRIES{"sklearn"};

    // Installs `requirements_file_path` into the environment of
    // find_python_interpreter() with `pip_install_command`. pip's output is
    // not shown on success; on failure its last error lines go to standard
    // error and QuorlError("Error installing dependencies") is thrown.
    static void install_requirements(const std::filesystem::path& requirements_file_path,
                                     const std::vector<std::string>& extra_index_urls = {},
                                     const std::vector<std::string>& trusted_domains = {});

    // <python> -m pip install (--extra-index-url URL)* (--trusted-host H)* -r FILE
    static std::vector<std::string> pip_install_command(const std::filesystem::path& python,
                                                        const std::filesystem::path& requirements_file_path,
                                                        const std::vector<std::string>& extra_index_urls,
                                                        const std::vector<std::string>& trusted_domains);

    // Resolves the input record's file into its `txt_path`: with pip-compile
    // (next to the interpreter, else on PATH), or with pip's own resolver
    // when pip-compile is not installed (a warning says so). Then removes
    // REMOVED_ENTRIES and reads the pins back. A failed resolver run logs
    // "An error happened processing the input .in file <input>" and throws
    // ResolverExit with the resolver's exit status. A cleaning that fails
    // prints the line of remove_entries_from_file, then throws QuorlError
    // naming the file and the cause.
    static GeneratorOutput generate_requirement_file(const GeneratorInput& generator_input);

    // Rewrites `file_path` without the lines whose package part (the text
    // before the first "==", else the whole line with its line end) equals
    // one of `entries_to_remove` exactly; a removed line ending with "\"
    // takes the lines that continue it (its --hash options). Line ends
    // become "\n". Atomically, or in place where the directory refuses a new
    // file but the file may be written (files::rewrite). An empty list leaves
    // the file untouched. An operating-system error prints "Oops! something
    // error" on standard output and returns.
    static void remove_entries_from_file(const std::filesystem::path& file_path,
                                         const std::vector<std::string>& entries_to_remove);

    // The pip-compile arguments (without program name): the input path,
    // "--resolver=backtracking", seven flags, "--output-file" txt_path, then
    // an "--extra-index-url" pair per index and a "--trusted-host" pair per
    // host, in the record's order.
    static std::vector<std::string> generated_pip_compile_config(const GeneratorInput& generator_input);

    // The normalised requirement entries of a requirements file, in order
    // (see normalise_requirement). Throws OsError when the file cannot be
    // read and ValueError, naming the file and line, for a line that is not
    // a requirement (an option line such as "-r other.txt" included).
    static std::vector<std::string> read_requirements(const std::filesystem::path& requirements_path);

    // Base package name (as Package::from_string gives it) to the text after
    // "==" (with "; " and the marker where the entry has one), names in
    // order of first appearance; a later entry of the same name replaces the
    // version. Per-requirement --hash options are not part of an entry.
    // ValueError naming the file and the line: "Requirement <entry> is not
    // pinned" for an entry without "==", "too many values to unpack
    // (expected 2)" for one with a second "==" before its marker.
    static VersionsMap read_requirements_versions(const std::filesystem::path& requirements_file);

    // For every group, in order, its requirements pinned as
    // "<requirement>==<version>" (NO_VERSION_PACKAGES skipped), the version
    // looked up under the lower-case name, else under a key of the same
    // canonical name; then, with `include_individual_packages`, one entry
    // "<name>": ["<name>==<version>"] per versions-map key (replacing a group
    // of that name in place). A requirement without a version throws
    // KeyError naming it and `versions_source` (the pinned file) when given.
    static PinnedGroups generate_pinned_versions_groups(
        const VersionsMap& versions_map, const RequirementGroups& groups, bool include_individual_packages = true,
        const std::optional<std::filesystem::path>& versions_source = std::nullopt);
};

}  // namespace quorl
