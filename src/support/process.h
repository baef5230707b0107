// Running a child process from an argument vector (no shell) and waiting for
// it without a time limit.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quorl {

enum class StreamMode {
    Inherit,  // the child uses this process's stream
    Null,     // connected to /dev/null
    Capture,  // collected into the result (standard output and error only)
};

// How a child is started. Fields have defaults, so callers name only what
// they change: run_process(argv, {.stderr_mode = StreamMode::Capture}).
struct ProcessOptions {
    StreamMode stdout_mode = StreamMode::Inherit;
    StreamMode stderr_mode = StreamMode::Inherit;
    // Variables set in the child's environment, over this process's own.
    std::vector<std::pair<std::string, std::string>> environment{};
    // When non-zero, only the last this many bytes of each captured stream
    // are kept (a child may write without end); the rest is counted in
    // ProcessResult::dropped.
    std::size_t keep_last_bytes = 0;
    // A child gets no input unless it is meant to ask the user something.
    StreamMode stdin_mode = StreamMode::Null;
    // Most bytes kept of each captured stream; 0 for no bound. A child that
    // writes more is killed and the result is marked `overflowed`.
    std::size_t capture_limit = 0;
};

struct ProcessResult {
    // The child's exit status; 128 + N when it was killed by signal N.
    int exit_status = 0;
    // The signal that killed the child, 0 when it exited.
    int signal = 0;
    // The child wrote more than ProcessOptions::capture_limit bytes to a
    // captured stream and was killed for it.
    bool overflowed = false;
    std::string out;  // captured standard output
    std::string err;  // captured standard error
    // Bytes cut from the front of `out` and `err` (see keep_last_bytes).
    std::size_t out_dropped = 0;
    std::size_t err_dropped = 0;
};

// Runs argv[0] with the arguments argv[1..]. A program name without "/" is
// looked up on PATH. Throws OsError when the program cannot be started. A
// child killed by a signal gets a warning naming the program and the signal.
//
// SIGINT, SIGTERM and SIGHUP sent to the tool while the child runs are passed
// on to it; once it has ended, Interrupted is thrown instead of returning.
ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options = {});

}  // namespace quorl
