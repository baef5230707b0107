#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "support/errors.h"
#include "support/logging.h"
#include "support/redact.h"

extern char** environ;

namespace quorl {
namespace {

// The program as people know it: "pip-compile", "python -m pip".
std::string shown_program(const std::vector<std::string>& argv) {
    std::string shown = argv[0].substr(argv[0].rfind('/') + 1);
    if (argv.size() > 2 && argv[1] == "-m") shown += " -m " + argv[2];
    return shown;
}

struct Pipe {
    int read_end = -1;
    int write_end = -1;
};

Pipe open_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw OsError(std::string("cannot create pipe: ") + std::strerror(errno));
    return {fds[0], fds[1]};
}

// Wires one standard stream of the child according to `mode`.
void plan_stream(posix_spawn_file_actions_t& actions, StreamMode mode, int target, Pipe& pipe) {
    if (mode == StreamMode::Null) {
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
    } else if (mode == StreamMode::Capture) {
        pipe = open_pipe();
        posix_spawn_file_actions_adddup2(&actions, pipe.write_end, target);
    }
}

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

// Reads both pipes until they close, so that neither can fill up and block
// the child.
void drain(Pipe& out_pipe, Pipe& err_pipe, ProcessResult& result, std::size_t keep) {
    struct Source {
        int fd;
        std::string* sink;
        std::size_t* dropped;
    };
    std::vector<Source> sources;
    if (out_pipe.read_end >= 0) sources.push_back({out_pipe.read_end, &result.out, &result.out_dropped});
    if (err_pipe.read_end >= 0) sources.push_back({err_pipe.read_end, &result.err, &result.err_dropped});
    char buffer[1 << 16];
    while (!sources.empty()) {
        std::vector<pollfd> fds;
        for (const Source& source : sources) fds.push_back({source.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sources[i].sink->append(buffer, static_cast<std::size_t>(got));
                trim_front(*sources[i].sink, keep, *sources[i].dropped, false);
            } else if (got == 0 || errno != EINTR) {
                ::close(sources[i].fd);
                sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    if (argv.empty()) throw OsError("cannot run an empty command");
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::vector<std::string> env_entries = child_environment(options.environment);
    std::vector<char*> envp;
    for (const std::string& entry : env_entries) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    Pipe out_pipe, err_pipe;
    ProcessResult result;
    pid_t pid = -1;
    int spawn_error = 0;
    try {
        plan_stream(actions, options.stdout_mode, STDOUT_FILENO, out_pipe);
        plan_stream(actions, options.stderr_mode, STDERR_FILENO, err_pipe);
        spawn_error = argv[0].find('/') == std::string::npos
                          ? ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data())
                          : ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    } catch (...) {
        posix_spawn_file_actions_destroy(&actions);
        for (int fd : {out_pipe.read_end, out_pipe.write_end, err_pipe.read_end, err_pipe.write_end}) {
            if (fd >= 0) ::close(fd);
        }
        throw;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (out_pipe.write_end >= 0) ::close(out_pipe.write_end);
    if (err_pipe.write_end >= 0) ::close(err_pipe.write_end);
    if (spawn_error != 0) {
        if (out_pipe.read_end >= 0) ::close(out_pipe.read_end);
        if (err_pipe.read_end >= 0) ::close(err_pipe.read_end);
        throw OsError("cannot run '" + redact_credentials(argv[0]) + "': " + std::strerror(spawn_error));
    }

    drain(out_pipe, err_pipe, result, options.keep_last_bytes);
    trim_front(result.out, options.keep_last_bytes, result.out_dropped, true);
    trim_front(result.err, options.keep_last_bytes, result.err_dropped, true);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw OsError(std::string("cannot wait for child: ") + std::strerror(errno));
    }
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.exit_status = 128 + result.signal;
        // A killed program says nothing itself; without this line the
        // caller's message would be the only trace.
        log::warning(shown_program(argv) + " was killed by signal " + std::to_string(result.signal) + " (" +
                     ::strsignal(result.signal) + ")");
    } else {
        result.exit_status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace quorl
