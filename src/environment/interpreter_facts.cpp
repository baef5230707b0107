#include "environment/interpreter_facts.h"

#include <algorithm>
#include <array>
#include <optional>

#include "environment/environment_query.h"
#include "environment/interpreter_discovery.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/process.h"
#include "support/text.h"

namespace quorl {
namespace {

// The answer is framed by these, each between NUL bytes: whatever else the
// interpreter prints (a .pth file that prints at start-up, an exit hook)
// stays outside.
constexpr std::string_view ANSWER_TAG = "quorl-environment-1";
constexpr std::string_view ANSWER_END = "quorl-environment-end";
// What an interpreter older than 3.6 answers instead, with its version.
constexpr std::string_view UNSUPPORTED_TAG = "quorl-environment-unsupported";

// Far more than any real answer; an interpreter that floods its output is
// stopped there rather than read without end.
constexpr std::size_t MAX_ANSWER = std::size_t{8} << 20;

constexpr std::array<MarkerVariable, 11> MARKER_FIELDS = {
    MarkerVariable::ImplementationName,
    MarkerVariable::ImplementationVersion,
    MarkerVariable::OsName,
    MarkerVariable::PlatformMachine,
    MarkerVariable::PlatformPythonImplementation,
    MarkerVariable::PlatformRelease,
    MarkerVariable::PlatformSystem,
    MarkerVariable::PlatformVersion,
    MarkerVariable::PythonFullVersion,
    MarkerVariable::PythonVersion,
    MarkerVariable::SysPlatform,
};

// The interpreter's own last error line: with a traceback, the exception
// itself. A fatal start-up error ("No module named 'encodings'" for a bogus
// PYTHONHOME) is followed by a dump of the threads' stacks, left out.
std::string last_line(std::string_view err) {
    for (const std::string_view dump : {std::string_view("\nCurrent thread "), std::string_view("\nThread 0x")}) {
        err = err.substr(0, err.find(dump));
    }
    std::string_view rest = text::rstrip(err);
    const std::size_t newline = rest.rfind('\n');
    return std::string(text::strip(newline == std::string_view::npos ? rest : rest.substr(newline + 1)));
}

}  // namespace

InterpreterFacts parse_interpreter_answer(std::string_view answer) {
    const std::string opening = '\0' + std::string(ANSWER_TAG) + '\0';
    const std::size_t begin = answer.find(opening);
    std::vector<std::string_view> fields;
    bool ended = false;
    if (begin != std::string_view::npos) {
        std::size_t start = begin + 1;
        for (std::size_t nul = answer.find('\0', start); nul != std::string_view::npos && !ended;
             nul = answer.find('\0', start)) {
            const std::string_view field = answer.substr(start, nul - start);
            ended = field == ANSWER_END;
            if (!ended) fields.push_back(field);
            start = nul + 1;
        }
    }
    if (!ended || fields.size() < 2 + MARKER_FIELDS.size()) {
        // Completed by the caller to "The Python interpreter X gave an ...".
        throw QuorlError("unexpected answer: '" + std::string(answer.substr(0, 200)) + "'");
    }
    InterpreterFacts environment;
    environment.executable = std::string(fields[1]);
    for (std::size_t i = 0; i < MARKER_FIELDS.size(); ++i) {
        environment.markers.set(MARKER_FIELDS[i], std::string(fields[2 + i]));
    }
    for (std::size_t i = 2 + MARKER_FIELDS.size(); i < fields.size(); ++i) {
        environment.sys_path.emplace_back(fields[i]);
    }
    return environment;
}

InterpreterFacts query_interpreter_facts(const std::filesystem::path& interpreter) {
    const std::string shown = interpreter.string();
    ProcessResult result;
    try {
        result = run_process(
            {shown, "-c", ENVIRONMENT_QUERY_PROGRAM},
            {.stdout_mode = StreamMode::Capture, .stderr_mode = StreamMode::Capture, .capture_limit = MAX_ANSWER});
    } catch (const OsError& error) {
        throw QuorlError("Cannot run the Python interpreter " + shown + ": " + error.what());
    }
    if (result.overflowed) {
        throw QuorlError("The Python interpreter " + shown + " wrote more than " + std::to_string(MAX_ANSWER >> 20) +
                         " MiB while reading its environment: stopped it");
    }
    if (result.exit_status != 0) {
        const std::string cause = last_line(result.err);
        throw QuorlError("The Python interpreter " + shown + " failed with exit status " +
                         std::to_string(result.exit_status) + " while reading its environment" +
                         (cause.empty() ? "" : ": " + cause));
    }
    const std::string unsupported = '\0' + std::string(UNSUPPORTED_TAG) + '\0';
    if (const std::size_t at = result.out.find(unsupported); at != std::string::npos) {
        const std::size_t version = at + unsupported.size();
        throw QuorlError(
            "The Python interpreter " + shown + " is Python " +
            result.out.substr(version, std::min<std::size_t>(result.out.find('\0', version) - version, 20)) +
            ": Python 3.6 or later is needed");
    }
    try {
        InterpreterFacts environment = parse_interpreter_answer(result.out);
        environment.interpreter = interpreter;
        return environment;
    } catch (const QuorlError& error) {
        throw QuorlError("The Python interpreter " + shown + " gave an " + error.what());
    }
}

const InterpreterFacts& current_interpreter_facts() {
    static const InterpreterFacts environment = [] {
        const std::filesystem::path interpreter = find_python_interpreter();
        log::debug("Reading the environment of " + interpreter.string());
        const log::Stopwatch stopwatch;
        InterpreterFacts facts = query_interpreter_facts(interpreter);
        log::debug("Asked the interpreter for its search path and marker values (" + stopwatch.elapsed() + ")");
        return facts;
    }();
    return environment;
}

}  // namespace quorl
