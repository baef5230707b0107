#include "resolution/resolver_choice.h"

#include <optional>
#include <vector>

#include "environment/distribution_reader.h"
#include "environment/interpreter.h"
#include "environment/interpreter_facts.h"
#include "pep/version.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/logging.h"

namespace quorl {
namespace {

// A marker variable whose values differ, as "name A against B" (the Python
// version when it differs, as people tell interpreters apart by it); nothing
// when all agree.
std::optional<std::string> marker_difference(const MarkerValues& ours, const MarkerValues& theirs) {
    std::vector<MarkerVariable> variables{MarkerVariable::PythonFullVersion};
    for (std::size_t i = 0; i < MarkerValues::SIZE; ++i) variables.push_back(static_cast<MarkerVariable>(i));
    for (const MarkerVariable variable : variables) {
        if (ours.get(variable) == theirs.get(variable)) continue;
        return std::string(marker_variable_name(variable)) + " " + theirs.get(variable) + " against " +
               ours.get(variable);
    }
    return std::nullopt;
}

// Whether pip-compile at `script` resolves for the environment's own marker
// values; when it cannot be told (an unknown launcher, an interpreter that
// does not answer), it is trusted as before.
bool resolves_for_this_environment(const std::filesystem::path& script, const std::filesystem::path& python) {
    const std::filesystem::path runs_on = script_interpreter(script);
    const InterpreterFacts& ours = current_interpreter_facts();
    if (runs_on.empty() || runs_on == python || runs_on == ours.executable) return true;
    std::optional<std::string> difference;
    try {
        difference = marker_difference(ours.markers, query_interpreter_facts(runs_on).markers);
    } catch (const QuorlError& error) {
        log::debug(std::string("Cannot compare the interpreter of ") + script.string() + ": " + error.what());
        return true;
    }
    if (!difference) return true;
    log::warning("pip-compile on PATH (" + script.string() + ") runs on " + runs_on.string() +
                 ", whose marker values differ from those of " + python.string() + " (" + *difference +
                 "): resolving with the pip of " + python.string() + " instead");
    return false;
}

}  // namespace

std::vector<std::string> choose_pip_compile(const std::filesystem::path& python) {
    const std::filesystem::path beside = python.parent_path() / "pip-compile";
    if (files::is_executable(beside)) return {beside.string()};
    if (InstalledDistributionReader::current().find_distribution("pip-tools")) {
        return {python.string(), "-m", "piptools", "compile"};
    }
    const std::filesystem::path on_path = find_on_path("pip-compile");
    if (!on_path.empty() && resolves_for_this_environment(on_path, python)) return {on_path.string()};
    return {};
}

void require_pip(const std::filesystem::path& python, PipUse use) {
    const std::optional<Distribution> pip = InstalledDistributionReader::current().find_distribution("pip");
    const std::string remedy = use == PipUse::Resolve ? "pip-tools, or pip 22.2 or later," : "pip";
    if (!pip) {
        throw QuorlError("The environment of " + python.string() + " has no pip: install " + remedy + " into it (" +
                         python.string() + " -m ensurepip installs pip)");
    }
    if (use == PipUse::Install) return;
    const std::optional<Version> version = parse_version(pip->version);
    if (version && compare_versions(*version, *parse_version("22.2")) < 0) {
        throw QuorlError("pip " + pip->version + " of " + python.string() +
                         " cannot resolve without installing (pip install --dry-run came with pip 22.2): "
                         "install pip-tools, or pip 22.2 or later, into the environment");
    }
}

}  // namespace quorl
