#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>

#include "support/errors.h"
#include "support/file_descriptor.h"
#include "support/logging.h"
#include "support/redact.h"
#include "support/signals.h"

extern char** environ;

namespace quorl {
namespace {

// The program as people know it: "pip-compile", "python -m pip".
std::string shown_program(const std::vector<std::string>& argv) {
    std::string shown = argv[0].substr(argv[0].rfind('/') + 1);
    if (argv.size() > 2 && argv[1] == "-m") shown += " -m " + argv[2];
    return shown;
}

// How the child's standard streams are wired. Holds this process's ends of
// the capture pipes; the child's ends are closed once it has started.
class StreamPlan {
public:
    StreamPlan() { posix_spawn_file_actions_init(&actions_); }
    ~StreamPlan() { posix_spawn_file_actions_destroy(&actions_); }
    StreamPlan(const StreamPlan&) = delete;
    StreamPlan& operator=(const StreamPlan&) = delete;

    void input(StreamMode mode) {
        if (mode != StreamMode::Inherit) {
            posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
    }
    void output(StreamMode mode, int target, FileDescriptor& read_end) {
        if (mode == StreamMode::Null) {
            posix_spawn_file_actions_addopen(&actions_, target, "/dev/null", O_WRONLY, 0);
        } else if (mode == StreamMode::Capture) {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC) != 0) throw OsError(std::string("cannot create pipe: ") + std::strerror(errno));
            read_end.reset(fds[0]);
            child_ends_[target == STDOUT_FILENO ? 0 : 1].reset(fds[1]);
            posix_spawn_file_actions_adddup2(&actions_, fds[1], target);
        }
    }
    // After the start: only the child may hold the write ends, so that the
    // pipes close when it ends.
    void close_child_ends() {
        for (FileDescriptor& end : child_ends_) end.reset();
    }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    FileDescriptor child_ends_[2];
};

// This process's environment with `overrides` set: the child's envp.
std::vector<std::string> child_environment(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : overrides) replaced = replaced || key == name;
        if (!replaced) entries.emplace_back(text);
    }
    for (const auto& [key, value] : overrides) entries.push_back(key + "=" + value);
    return entries;
}

// Keeps the last `keep` bytes of `sink` (all when `keep` is 0). Cut in
// halves of the bound, so that trimming costs little per byte read.
void trim_front(std::string& sink, std::size_t keep, std::size_t& dropped, bool final) {
    if (keep == 0 || sink.size() <= (final ? keep : 2 * keep)) return;
    const std::size_t cut = sink.size() - keep;
    sink.erase(0, cut);
    dropped += cut;
}

// Starts the child with the signal mask the tool had before it blocked the
// interrupts; registers it to receive them.
pid_t start(const std::vector<std::string>& argv, const ProcessOptions& options, const StreamPlan& plan) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::vector<std::string> env_entries = child_environment(options.environment);
    std::vector<char*> envp;
    for (const std::string& entry : env_entries) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    const signals::BlockInterrupts blocked;
    signals::throw_if_interrupted();
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setsigmask(&attributes, &blocked.previous_mask());
    pid_t pid = -1;
    const int error = argv[0].find('/') == std::string::npos
                          ? ::posix_spawnp(&pid, args[0], plan.actions(), &attributes, args.data(), envp.data())
                          : ::posix_spawn(&pid, args[0], plan.actions(), &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (error != 0) throw OsError("cannot run '" + redact_credentials(argv[0]) + "': " + std::strerror(error));
    signals::set_running_child(pid);
    return pid;
}

// How long a child may take to end once a signal was passed on to it (pip
// rolls back a half-done installation on SIGINT), and how often a wait looks
// for that signal: every wait must end at one, and a blocking call would miss
// a signal that comes just before it starts.
constexpr auto GRACE_PERIOD = std::chrono::seconds(5);
constexpr int LOOK_EVERY_MS = 100;

// Whether the child has ended (it is not reaped). An error counts as ended:
// the reaping that follows reports it.
bool has_ended(pid_t pid) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | WNOHANG) != 0) return errno != EINTR;
    return info.si_pid == pid;
}

// After a signal asked the run to stop: whether waiting for the child is
// over, because it has ended, or because it outlived the grace period and is
// now killed (said in one line). A child of the child that holds the output
// pipes open does not keep the run waiting.
class StopAfterSignal {
public:
    explicit StopAfterSignal(const std::vector<std::string>& argv) : argv_(argv) {}

    bool done(pid_t pid) {
        if (signals::pending_interrupt() == 0) return false;
        const auto now = std::chrono::steady_clock::now();
        if (!deadline_) deadline_ = now + GRACE_PERIOD;
        if (killed_ || has_ended(pid)) return true;
        if (now < *deadline_) return false;
        ::kill(pid, SIGKILL);
        killed_ = true;
        log::warning(shown_program(argv_) + " did not end within " +
                     std::to_string(std::chrono::seconds(GRACE_PERIOD).count()) + " s of signal " +
                     std::to_string(signals::pending_interrupt()) + ": killed it");
        return true;
    }

private:
    const std::vector<std::string>& argv_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool killed_ = false;
};

// Reads both pipes until they close, so that neither can fill up and block
// the child; keeps the last options.keep_last_bytes of each. Past
// options.capture_limit bytes on one of them the child is killed: returns
// false then. Ends early when a signal asked the run to stop (see
// StopAfterSignal).
bool drain(FileDescriptor& out_pipe, FileDescriptor& err_pipe, ProcessResult& result, const ProcessOptions& options,
           pid_t pid, StopAfterSignal& stop) {
    struct Source {
        FileDescriptor* fd;
        std::string* sink;
        std::size_t* dropped;
    };
    const std::size_t limit = options.capture_limit;
    std::vector<Source> sources;
    if (out_pipe.is_open()) sources.push_back({&out_pipe, &result.out, &result.out_dropped});
    if (err_pipe.is_open()) sources.push_back({&err_pipe, &result.err, &result.err_dropped});
    char buffer[1 << 16];
    while (!sources.empty() && !stop.done(pid)) {
        std::vector<pollfd> fds;
        for (const Source& source : sources) fds.push_back({source.fd->get(), POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), LOOK_EVERY_MS);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sources[i].sink->append(buffer, static_cast<std::size_t>(got));
                trim_front(*sources[i].sink, options.keep_last_bytes, *sources[i].dropped, false);
                if (limit != 0 && sources[i].sink->size() > limit) {
                    sources[i].sink->resize(limit);
                    ::kill(pid, SIGKILL);
                    return false;
                }
            } else if (got == 0 || errno != EINTR) {
                sources[i].fd->reset();
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    return true;
}

// Waits for the child to end, then reaps it with the interrupts blocked: a
// signal that comes later must not be passed on to a recycled process ID.
int wait_for(pid_t pid, StopAfterSignal& stop) {
    // A child that has closed its output usually ends at once: look again
    // soon, then less often.
    for (int pause_ms = 1; !has_ended(pid) && !stop.done(pid); pause_ms = std::min(2 * pause_ms, LOOK_EVERY_MS)) {
        ::poll(nullptr, 0, pause_ms);
    }
    const signals::BlockInterrupts blocked;
    signals::set_running_child(0);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw OsError(std::string("cannot wait for child: ") + std::strerror(errno));
    }
    return status;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    if (argv.empty()) throw OsError("cannot run an empty command");
    StreamPlan plan;
    FileDescriptor out_pipe, err_pipe;
    plan.input(options.stdin_mode);
    plan.output(options.stdout_mode, STDOUT_FILENO, out_pipe);
    plan.output(options.stderr_mode, STDERR_FILENO, err_pipe);
    const pid_t pid = start(argv, options, plan);
    plan.close_child_ends();

    ProcessResult result;
    StopAfterSignal stop(argv);
    result.overflowed = !drain(out_pipe, err_pipe, result, options, pid, stop);
    trim_front(result.out, options.keep_last_bytes, result.out_dropped, true);
    trim_front(result.err, options.keep_last_bytes, result.err_dropped, true);
    out_pipe.reset();
    err_pipe.reset();
    const int status = wait_for(pid, stop);
    signals::throw_if_interrupted();
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.exit_status = 128 + result.signal;
        // A killed program says nothing itself; without this line the
        // caller's message would be the only trace.
        if (!result.overflowed) {
            log::warning(shown_program(argv) + " was killed by signal " + std::to_string(result.signal) + " (" +
                         ::strsignal(result.signal) + ")");
        }
    } else {
        result.exit_status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace quorl
