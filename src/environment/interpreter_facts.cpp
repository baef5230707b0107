#include "environment/interpreter_facts.h"

#include <algorithm>
#include <array>
#include <optional>

#include "environment/environment_query.h"
#include "environment/interpreter_discovery.h"
#include "environment/interpreter_facts_cache.h"
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
// The frame of the files the answer depends on, when asked for.
constexpr std::string_view FILES_TAG = "quorl-environment-files";
constexpr std::string_view FILES_END = "quorl-environment-files-end";

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

std::vector<std::string> parse_interpreter_files(std::string_view answer) {
    const std::string opening = '\0' + std::string(FILES_TAG) + '\0';
    const std::string closing = '\0' + std::string(FILES_END) + '\0';
    // It follows the answer; the two frames share the NUL between them.
    const std::size_t answered = answer.find('\0' + std::string(ANSWER_END) + '\0');
    const std::size_t begin = answered == std::string_view::npos ? answered : answer.find(opening, answered);
    const std::size_t end = begin == std::string_view::npos ? begin : answer.find(closing, begin + opening.size() - 1);
    if (end == std::string_view::npos) throw QuorlError("unexpected answer: no list of the files it read");
    if (end < begin + opening.size()) return {};
    return text::split(answer.substr(begin + opening.size(), end - begin - opening.size()), std::string_view("\0", 1));
}

namespace {

// The interpreter's output to the query program; with `files`, also the
// list of what it read at start-up. Errors as query_interpreter_facts.
std::string ask_interpreter(const std::filesystem::path& interpreter, bool files) {
    const std::string shown = interpreter.string();
    std::vector<std::string> command = {shown, "-c", ENVIRONMENT_QUERY_PROGRAM};
    if (files) command.emplace_back("files");
    ProcessResult result;
    try {
        result = run_process(
            command,
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
    return std::move(result.out);
}

// Parses an answer of `interpreter`, with the errors of query_interpreter_facts.
InterpreterFacts parse_answer_of(const std::filesystem::path& interpreter, std::string_view answer) {
    try {
        InterpreterFacts environment = parse_interpreter_answer(answer);
        environment.interpreter = interpreter;
        return environment;
    } catch (const QuorlError& error) {
        throw QuorlError("The Python interpreter " + interpreter.string() + " gave an " + error.what());
    }
}

// Asks the interpreter and keeps its answer in `cache` for later runs.
InterpreterFacts ask_and_keep(const std::filesystem::path& interpreter, const InterpreterFactsCache& cache) {
    timespec asked_at{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &asked_at);
    const std::string answer = ask_interpreter(interpreter, cache.usable());
    InterpreterFacts facts = parse_answer_of(interpreter, answer);
    if (cache.usable()) {
        try {
            std::vector<std::string> paths = parse_interpreter_files(answer);
            paths.insert(paths.end(), facts.sys_path.begin(), facts.sys_path.end());
            cache.store(answer, paths, asked_at);
        } catch (const QuorlError& error) {
            log::debug(std::string("Not keeping the interpreter's answer: ") + error.what());
        }
    }
    return facts;
}

}  // namespace

InterpreterFacts query_interpreter_facts(const std::filesystem::path& interpreter) {
    return parse_answer_of(interpreter, ask_interpreter(interpreter, false));
}

const InterpreterFacts& current_interpreter_facts() {
    static const InterpreterFacts environment = [] {
        const std::filesystem::path interpreter = find_python_interpreter();
        log::debug("Reading the environment of " + interpreter.string());
        const log::Stopwatch stopwatch;
        const InterpreterFactsCache cache(interpreter);
        if (const std::optional<std::string> kept = cache.load()) {
            try {
                InterpreterFacts facts = parse_answer_of(interpreter, *kept);
                log::debug("Took the interpreter's search path and marker values from the cache (" +
                           stopwatch.elapsed() + ")");
                return facts;
            } catch (const QuorlError&) {
                log::debug("Ignored the interpreter's kept answer: it does not parse");
            }
        }
        InterpreterFacts facts = ask_and_keep(interpreter, cache);
        log::debug("Asked the interpreter for its search path and marker values (" + stopwatch.elapsed() + ")");
        return facts;
    }();
    return environment;
}

}  // namespace quorl
