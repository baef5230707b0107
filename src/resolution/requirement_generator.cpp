#include "resolution/requirement_generator.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>

#include "cli_config_processor/pip_compile_config_processor.h"
#include "environment/interpreter.h"
#include "environment/interpreter_discovery.h"
#include "resolution/index_access.h"
#include "resolution/resolver_choice.h"
#include "resolution/resolver_run.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/logging.h"
#include "support/printable.h"
#include "support/process.h"
#include "support/text.h"

namespace quorl {
namespace {

// How many of pip's last error lines a failed installation shows, and how
// much of its standard error is kept to find them (pip may write without
// end; the lines shown are cut to PRINTABLE_LIMIT each).
constexpr std::size_t PIP_ERROR_TAIL = 20;
constexpr std::size_t PIP_ERROR_BYTES = 256 * 1024;
constexpr std::string_view PIP_OUTPUT = "pip's output";

// Writes the last non-blank lines of pip's standard error, so that a failed
// installation says why: printable, without credentials, each cut to a
// bounded length with a note naming pip.
void show_error_tail(const ProcessResult& result) {
    std::vector<std::string> lines = text::split(result.err, "\n");
    // The kept bytes start inside a line, perhaps inside a password that is
    // recognised only whole: that line is left out entirely, and said so.
    if (result.err_dropped > 0 && !lines.empty()) {
        std::string note = "(";
        note += std::to_string(result.err_dropped + lines.front().size());
        note += " bytes of ";
        note += PIP_OUTPUT;
        note += " left out)";
        lines.front() = std::move(note);
    }
    std::vector<std::string_view> shown_lines;
    for (const std::string& line : lines) {
        if (!text::strip(line).empty()) shown_lines.push_back(text::rstrip(line));
    }
    const std::size_t first = shown_lines.size() > PIP_ERROR_TAIL ? shown_lines.size() - PIP_ERROR_TAIL : 0;
    std::string shown;
    for (std::size_t i = first; i < shown_lines.size(); ++i) {
        shown += printable_line(shown_lines[i], PIP_OUTPUT) + "\n";
    }
    std::fflush(stdout);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fflush(stderr);
}

// Runs pip-compile, or pip's resolver where pip-compile is not installed, and
// returns the resolver's exit status.
int run_resolver(const GeneratorInput& input) {
    const std::filesystem::path python = find_python_interpreter();
    const std::vector<std::string> pip_compile = choose_pip_compile(python);
    const IndexAccess indexes(input.extras_list());
    if (!pip_compile.empty()) {
        log::debug("Resolving with " + text::join(pip_compile, " "));
        GeneratorInput without_credentials = input;
        without_credentials.set_extras_list(indexes.urls());
        return run_pip_compile(pip_compile, RequirementGenerator::generated_pip_compile_config(without_credentials),
                               indexes);
    }
    require_pip(python, PipUse::Resolve);
    // Where pip-compile on PATH was set aside, choose_pip_compile said why.
    if (find_on_path("pip-compile").empty()) {
        log::warning("pip-compile is not installed next to " + python.string() +
                     " nor on PATH: resolving with pip's own resolver (pip install --dry-run) instead");
    }
    return resolve_with_pip(python, input.input_path(), input.txt_path(), indexes, input.trusted_domain_list());
}

// Splits text into lines that keep their line end; "\r\n" and "\r" end a
// line like "\n" and come back as "\n".
std::vector<std::string> lines_with_ends(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(content.substr(pos));
            break;
        }
        lines.push_back(std::string(content.substr(pos, end - pos)) + "\n");
        pos = content.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    }
    return lines;
}

// True when `line` (with its line end) continues on the next: a removed
// requirement takes its continuation lines (its --hash options) with it.
bool continues(std::string_view line) { return text::ends_with(text::rstrip(line), "\\"); }

// The lines of `content` that stay: all but those whose package part (the
// text before the first "==", or the whole line with its end) is one of the
// entries, each with the lines that continue it.
std::string kept_lines(std::string_view content, const std::vector<std::string>& entries_to_remove) {
    std::string kept;
    bool removing = false;  // inside a removed requirement's continuation
    bool first = true;
    for (const std::string& line : lines_with_ends(content)) {
        if (removing) {
            removing = continues(line);
            continue;
        }
        const std::size_t pinned = line.find("==");
        std::string_view package = pinned == std::string::npos ? line : std::string_view(line).substr(0, pinned);
        if (first) package = text::without_utf8_bom(package);
        first = false;
        if (std::find(entries_to_remove.begin(), entries_to_remove.end(), package) != entries_to_remove.end()) {
            removing = continues(line);
        } else {
            kept += line;
        }
    }
    return kept;
}

// Rewrites the file without the entries; the error that stopped it, if any,
// after the line that the callers of the cleaning step expect.
std::optional<std::string> remove_entries(const std::filesystem::path& file_path,
                                          const std::vector<std::string>& entries_to_remove) {
    try {
        // Written aside and renamed (a failure leaves the resolved file
        // whole), or in place where the resolver could write only there.
        files::rewrite(file_path, kept_lines(files::read(file_path), entries_to_remove));
        return std::nullopt;
    } catch (const OsError& error) {
        std::cout << "Oops! something error" << std::endl;
        return error.what();
    }
}

}  // namespace

std::vector<std::string> RequirementGenerator::pip_install_command(const std::filesystem::path& python,
                                                                   const std::filesystem::path& requirements_file_path,
                                                                   const std::vector<std::string>& extra_index_urls,
                                                                   const std::vector<std::string>& trusted_domains) {
    std::vector<std::string> command{python.string(), "-m", "pip", "install"};
    for (std::string& option : pip_index_options(extra_index_urls, trusted_domains)) {
        command.push_back(std::move(option));
    }
    command.insert(command.end(), {"-r", requirements_file_path.string()});
    return command;
}

void RequirementGenerator::install_requirements(const std::filesystem::path& requirements_file_path,
                                                const std::vector<std::string>& extra_index_urls,
                                                const std::vector<std::string>& trusted_domains) {
    const std::filesystem::path python = find_python_interpreter();
    require_pip(python, PipUse::Install);
    const IndexAccess indexes(extra_index_urls);
    const std::vector<std::string> command =
        pip_install_command(python, requirements_file_path, indexes.urls(), trusted_domains);
    // pip install may ask the user something: it keeps this process's input.
    const ProcessOptions options{.stdout_mode = StreamMode::Null,
                                 .stderr_mode = StreamMode::Capture,
                                 .environment = indexes.environment(),
                                 .keep_last_bytes = PIP_ERROR_BYTES,
                                 .stdin_mode = StreamMode::Inherit};
    const ProcessResult result = run_process(command, options);
    if (result.exit_status == 0) return;
    show_error_tail(result);
    throw QuorlError("Error installing dependencies");
}

std::vector<std::string> RequirementGenerator::generated_pip_compile_config(const GeneratorInput& generator_input) {
    using Key = PipCompileSupportedConfig;
    std::vector<PipCompileConfigProcessor::Element> config;
    for (Key flag : {Key::QUIET, Key::NO_ANNOTATE, Key::NO_HEADER, Key::NO_EMIT_FIND_LINKS, Key::NO_EMIT_INDEX_URL,
                     Key::NO_EMIT_OPTIONS, Key::NO_EMIT_TRUSTED_HOST}) {
        config.emplace_back(PipCompilePropertyConfigElement(flag));
    }
    config.emplace_back(PipCompileArgumentConfigElement(Key::OUTPUT_FILE, generator_input.txt_path().string()));
    for (const std::string& url : generator_input.extras_list()) {
        config.emplace_back(PipCompileArgumentConfigElement(Key::EXTRA_INDEX_URL, url));
    }
    for (const std::string& host : generator_input.trusted_domain_list()) {
        config.emplace_back(PipCompileArgumentConfigElement(Key::TRUSTED_HOST, host));
    }
    std::vector<std::string> arguments{generator_input.input_path().string(), "--resolver=backtracking"};
    for (std::string& piece : PipCompileConfigProcessor::process_config(config)) arguments.push_back(std::move(piece));
    return arguments;
}

GeneratorOutput RequirementGenerator::generate_requirement_file(const GeneratorInput& generator_input) {
    const std::filesystem::path input_path = generator_input.input_path();
    const std::filesystem::path txt_path = generator_input.txt_path();
    log::debug("Requirement generation starts.");
    const int status = run_resolver(generator_input);
    if (status != 0) {
        log::error("An error happened processing the input .in file " + input_path.string());
        throw ResolverExit(status);
    }
    // Going on after a failed cleaning would report success with the removed
    // entries still pinned (and installed).
    if (const std::optional<std::string> error = remove_entries(txt_path, REMOVED_ENTRIES)) {
        throw QuorlError("The resolved file " + txt_path.string() + " could not be cleaned: " + *error);
    }
    return GeneratorOutput(input_path, txt_path, read_requirements_versions(txt_path));
}

void RequirementGenerator::remove_entries_from_file(const std::filesystem::path& file_path,
                                                    const std::vector<std::string>& entries_to_remove) {
    if (entries_to_remove.empty()) return;
    remove_entries(file_path, entries_to_remove);
}

}  // namespace quorl
