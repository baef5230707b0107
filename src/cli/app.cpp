#include "cli/app.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <map>

#include "cli/commands.h"
#include "environment/interpreter_discovery.h"
#include "release/package_extras_manager.h"
#include "support/errors.h"
#include "support/heap.h"
#include "support/printable.h"
#include "support/redact.h"
#include "support/signals.h"

namespace quorl::cli {
namespace {

constexpr const char* RESOLVE_HELP =
    "Resolves the complete list of dependencies from a `requirements.in` file containing only "
    "root-level dependencies.";
constexpr const char* GROUPS_HELP =
    "Groups installed requirements in several groups given as sets of root-requirements.\n\n"
    "Provides several options to help visualise and debug the algorithm generating groups";
constexpr const char* RELEASE_HELP =
    "Runs the group process in release mode, generating the same groups expected in a given release.";

constexpr const char* WHY_HELP =
    "Shows, for each group that reaches a package, every shortest chain of requirements from the group's "
    "roots to it. Fails (exit status 1) when no group reaches it.";

constexpr const char* SBOM_HELP =
    "Also writes a CycloneDX 1.6 software bill of materials for each group into DIR, as <group>.cdx.json.";

constexpr const char* STRICT_HELP =
    "Fails (exit status 1) before printing or writing anything when the installed environment and the "
    "resolved file disagree.";

void add_resolve(CLI::App& app, ResolveArguments& args) {
    CLI::App* resolve = app.add_subcommand("resolve", RESOLVE_HELP);
    resolve->add_option("requirements_in", args.requirements_in);
    resolve->add_option("resolved_out", args.resolved_out);
    resolve->add_option("-i,--index", args.extra_index_urls)->take_all()->allow_extra_args(false);
    resolve->add_option("-d,--trusted-domain", args.trusted_domains)->allow_extra_args(false);
    resolve->add_flag("--install,!--no-install", args.install);
    resolve->callback([&args] { resolve_dependencies(args); });
}

// The group selection options that `groups` and `why` share.
void add_group_selection(CLI::App& command, GroupSelectionArguments& args) {
    command
        .add_option("-g,--group", args.groups,
                    "Named group of root requirements, following the format '<name>:<req1>,<req2>,<...>'")
        ->allow_extra_args(false);
    command
        .add_option("-e,--extract-extras", args.extract_extras,
                    "List of packages to extract groups from, using the name of their extra-requirements.")
        ->allow_extra_args(false);
    command.add_flag("--release", args.release,
                     "Uses the groups configured for release. Overrides the -g, -e and -x options.");
    command.add_option("-x,--exclude", args.excluded_packages_path,
                       "Path to a text file containing the name of packages to exclude when generating groups.");
}

constexpr const char* RESOLVED_REQS_HELP =
    "Requirement file pinning all possible dependencies, output of the `resolve` command.";

void add_groups(CLI::App& app, GroupsArguments& args) {
    CLI::App* groups = app.add_subcommand("groups", GROUPS_HELP);
    groups->add_option("resolved_reqs_path", args.resolved_reqs_path, RESOLVED_REQS_HELP)->required();
    add_group_selection(*groups, args);
    static const std::map<std::string, GroupsFormat> FORMATS = {{"text", GroupsFormat::TEXT},
                                                                {"json", GroupsFormat::JSON},
                                                                {"dot", GroupsFormat::DOT},
                                                                {"mermaid", GroupsFormat::MERMAID}};
    groups
        ->add_option_function<std::string>(
            "--format", [&args](const std::string& name) { args.format = FORMATS.at(name); },
            "Output format: text (the listing, or the trees with --graph), json, dot (Graphviz) or mermaid. --graph "
            "and --depth shape the text format only.")
        ->check(CLI::IsMember({"text", "json", "dot", "mermaid"}))
        ->type_name("FORMAT");
    groups->add_flag("--graph", args.graph);
    groups->add_option("-d,--depth", args.depth);
    groups->add_flag("--strict", args.strict, STRICT_HELP);
    groups->add_option("--sbom", args.sbom_dir, SBOM_HELP)->type_name("DIR");
    groups->callback([&args] { generate_groups(args); });
}

void add_why(CLI::App& app, WhyArguments& args) {
    CLI::App* why_command = app.add_subcommand("why", WHY_HELP);
    why_command->add_option("resolved_reqs_path", args.resolved_reqs_path, RESOLVED_REQS_HELP)->required();
    why_command->add_option("package", args.package, "The package to explain, by name.")->required();
    add_group_selection(*why_command, args);
    why_command->callback([&args] { why(args); });
}

void add_release(CLI::App& app, ReleaseArguments& args) {
    CLI::App* release_command = app.add_subcommand("release", RELEASE_HELP);
    release_command->add_option("resolved_reqs_path", args.resolved_reqs_path)->required();
    release_command->add_option("release_out", args.release_out)->required();
    release_command->add_option("-x,--exclude", args.excluded_packages_path);
    release_command->add_flag("--strict", args.strict, STRICT_HELP);
    release_command->add_option("--sbom", args.sbom_dir, SBOM_HELP)->type_name("DIR");
    release_command->callback([&args] { release(args); });
}

// Every command takes --python; it is recorded before the command runs.
void add_python_option(CLI::App& command) {
    command
        .add_option_function<std::string>(
            "--python", [](const std::string& python) { set_python_option(python); },
            "Python interpreter of the environment to work on (default, first found: $VIRTUAL_ENV, "
            "$CONDA_PREFIX, the venv holding this executable, a .venv here or above, python3 on PATH).")
        ->type_name("PATH");
}

void print_error(const std::string& message) {
    std::fflush(stdout);
    std::cerr << "Error: " << printable_line(message) << std::endl;
}

}  // namespace

int run_app(int argc, char** argv) {
    signals::install_interrupt_handlers();
    // Before the commands allocate: reading an environment makes the heap
    // that the setting is for.
    heap::prefer_huge_pages();
    // The install-root paths and default indexes are fixed at start-up: the
    // environment is read once, before any command runs.
    const PackageExtrasManagerConstants& constants = PackageExtrasManager::constants();
    // Every password the run was given is hidden in whatever it prints, from
    // the first usage error on.
    for (const std::string& url : constants.DEFAULT_EXTRAS_PYPI) remember_url_secrets(url);
    for (int i = 1; i < argc; ++i) remember_url_secrets(argv[i]);

    CLI::App app("Manages the Python dependencies of the product's installable packages.", "quorl-python-dependencies");
    app.require_subcommand(1);
    app.fallthrough(false);

    ResolveArguments resolve_args;
    GroupsArguments groups_args;
    ReleaseArguments release_args;
    WhyArguments why_args;
    add_resolve(app, resolve_args);
    add_groups(app, groups_args);
    add_release(app, release_args);
    add_why(app, why_args);
    for (CLI::App* command : app.get_subcommands(std::function<bool(CLI::App*)>{})) add_python_option(*command);
    app.set_version_flag("--version", "quorl-python-dependencies " QUORL_VERSION);

    try {
        app.parse(argc, argv);  // runs the chosen command's callback
        return 0;
    } catch (const CLI::Success& done) {
        return app.exit(done);  // --help
    } catch (const CLI::ParseError& usage) {
        print_error(usage.what());
        std::cerr << "Run with --help for more information." << std::endl;
        return 2;
    } catch (const UsageError& usage) {
        print_error(usage.what());
        return 2;
    } catch (const Interrupted& interrupted) {
        // Everything on the way out has been cleaned up by now.
        const int signal_number = interrupted.signal_number();
        print_error("interrupted by signal " + std::to_string(signal_number) + " (" + ::strsignal(signal_number) + ")");
        return 128 + signal_number;
    } catch (const ResolverExit& resolver) {
        return resolver.status();
    } catch (const QuorlError& failure) {
        print_error(*failure.what() ? failure.what() : failure.kind());
        return 1;
    } catch (const std::exception& failure) {
        print_error(failure.what());
        return 1;
    }
}

}  // namespace quorl::cli
