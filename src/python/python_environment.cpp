#include "python/python_environment.h"

#include <array>
#include <optional>

#include "python/environment_query.h"
#include "python/interpreter.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/process.h"
#include "support/text.h"

namespace quorl {
namespace {

// The first field of the answer of environment_query.py.
constexpr std::string_view ANSWER_TAG = "quorl-environment-1";

constexpr std::array<MarkerVariable, 11> MARKER_FIELDS = {
    MarkerVariable::ImplementationName, MarkerVariable::ImplementationVersion,
    MarkerVariable::OsName,             MarkerVariable::PlatformMachine,
    MarkerVariable::PlatformPythonImplementation, MarkerVariable::PlatformRelease,
    MarkerVariable::PlatformSystem,     MarkerVariable::PlatformVersion,
    MarkerVariable::PythonFullVersion,  MarkerVariable::PythonVersion,
    MarkerVariable::SysPlatform,
};

// The last non-empty line of the interpreter's error output: with a
// traceback, the exception itself.
std::string last_line(std::string_view err) {
    std::string_view rest = text::rstrip(err);
    const std::size_t newline = rest.rfind('\n');
    return std::string(text::strip(newline == std::string_view::npos ? rest : rest.substr(newline + 1)));
}

}  // namespace

PythonEnvironment parse_python_environment_answer(std::string_view answer) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t nul = answer.find('\0'); nul != std::string_view::npos; nul = answer.find('\0', start)) {
        fields.push_back(answer.substr(start, nul - start));
        start = nul + 1;
    }
    if (start != answer.size() || fields.size() < 2 + MARKER_FIELDS.size() || fields[0] != ANSWER_TAG) {
        throw QuorlError("unexpected answer from the Python interpreter: '" +
                         std::string(answer.substr(0, 200)) + "'");
    }
    PythonEnvironment environment;
    environment.executable = std::string(fields[1]);
    for (std::size_t i = 0; i < MARKER_FIELDS.size(); ++i) {
        environment.markers.set(MARKER_FIELDS[i], std::string(fields[2 + i]));
    }
    for (std::size_t i = 2 + MARKER_FIELDS.size(); i < fields.size(); ++i) {
        environment.sys_path.emplace_back(fields[i]);
    }
    return environment;
}

PythonEnvironment query_python_environment(const std::filesystem::path& interpreter) {
    const std::string shown = interpreter.string();
    ProcessResult result;
    try {
        result = run_process({shown, "-c", ENVIRONMENT_QUERY_PROGRAM},
                             {StreamMode::Capture, StreamMode::Capture});
    } catch (const OsError& error) {
        throw QuorlError("Cannot run the Python interpreter " + shown + ": " + error.what());
    }
    if (result.exit_status != 0) {
        const std::string cause = last_line(result.err);
        throw QuorlError("The Python interpreter " + shown + " failed with exit status " +
                         std::to_string(result.exit_status) + " while reading its environment" +
                         (cause.empty() ? "" : ": " + cause));
    }
    try {
        PythonEnvironment environment = parse_python_environment_answer(result.out);
        environment.interpreter = interpreter;
        return environment;
    } catch (const QuorlError& error) {
        throw QuorlError("The Python interpreter " + shown + " gave an " + error.what());
    }
}

const PythonEnvironment& current_python_environment() {
    static const PythonEnvironment environment = [] {
        const std::filesystem::path interpreter = find_python_interpreter();
        log::debug("Reading the environment of " + interpreter.string());
        return query_python_environment(interpreter);
    }();
    return environment;
}

}  // namespace quorl
