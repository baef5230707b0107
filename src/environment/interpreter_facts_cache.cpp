#include "environment/interpreter_facts_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "environment/environment_query.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/logging.h"
#include "support/ordered_set.h"
#include "support/sha1.h"

extern char** environ;

namespace quorl {
namespace {

namespace fs = std::filesystem;

// Changed whenever the layout of a cache file or of its key changes.
constexpr std::string_view FORMAT_TAG = "quorl-interpreter-facts-1";
constexpr std::string_view DIRECTORY_NAME = "quorl-python-dependencies";
// Far more than an answer with a few hundred search-path entries and
// stamps; a larger file is not one this tool wrote.
constexpr std::size_t MAX_FILE = std::size_t{1} << 20;

// Ours alone: owned by this user, and nobody else may write it.
bool is_private(const struct stat& info) { return info.st_uid == ::geteuid() && (info.st_mode & 022) == 0; }

std::optional<fs::path> cache_home() {
    for (const auto& [variable, below] : {std::pair{"XDG_CACHE_HOME", ""}, std::pair{"HOME", ".cache"}}) {
        const char* value = std::getenv(variable);
        // A relative one would move the cache with the working directory.
        if (value != nullptr && value[0] == '/') return fs::path(value) / below;
    }
    return std::nullopt;
}

// The cache directory, created 0700 if needed, or the reason there is none.
FileDescriptor open_directory(std::string& why_not) {
    const std::optional<fs::path> home = cache_home();
    if (!home) {
        why_not = "neither XDG_CACHE_HOME nor HOME is an absolute path";
        return {};
    }
    const fs::path directory = *home / DIRECTORY_NAME;
    (void)::mkdir(home->c_str(), 0700);
    (void)::mkdir(directory.c_str(), 0700);
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.is_open() || ::fstat(fd.get(), &info) != 0) {
        why_not = "cannot open " + directory.string() + ": " + std::strerror(errno);
        return {};
    }
    if (!is_private(info)) {
        why_not = directory.string() + " is not this user's alone";
        return {};
    }
    return fd;
}

// Everything the answer is computed from that is known without asking.
std::optional<std::string> make_key(const fs::path& interpreter) {
    std::error_code error;
    const fs::path cwd = fs::current_path(error);
    struct utsname host {};
    if (error || ::uname(&host) != 0) return std::nullopt;
    std::vector<std::string> fields = {
        std::string(FORMAT_TAG),
        hex(sha1(ENVIRONMENT_QUERY_PROGRAM)),
        interpreter.string(),
        cwd.string(),
        std::to_string(::getuid()) + ' ' + std::to_string(::getgid()) + ' ' + std::to_string(::geteuid()) + ' ' +
            std::to_string(::getegid()),
        host.sysname,
        host.nodename,
        host.release,
        host.version,
        host.machine,
    };
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (variable.starts_with("PYTHON") || variable.starts_with("HOME=") ||
            variable.starts_with("LD_LIBRARY_PATH=")) {
            variables.emplace_back(variable);
        }
    }
    std::sort(variables.begin(), variables.end());
    fields.insert(fields.end(), variables.begin(), variables.end());
    std::string key;
    for (const std::string& field : fields) key += field + '\0';
    return key;
}

// What a file looks like now: its stat (S) or lstat (L) identity and times,
// or its real path (R); an error is recorded as its errno value.
struct Observed {
    std::string text;
    timespec changed{};
};

Observed observe(char how, const std::string& path) {
    if (how == 'R') {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) return {"!" + std::to_string(errno)};
        Observed observed{real};
        std::free(real);
        return observed;
    }
    struct stat info {};
    if ((how == 'L' ? ::lstat(path.c_str(), &info) : ::stat(path.c_str(), &info)) != 0) {
        return {"!" + std::to_string(errno)};
    }
    const auto ns = [](const timespec& t) { return std::to_string(t.tv_sec) + '.' + std::to_string(t.tv_nsec); };
    return {std::to_string(info.st_dev) + ' ' + std::to_string(info.st_ino) + ' ' + std::to_string(info.st_size) + ' ' +
                ns(info.st_mtim) + ' ' + ns(info.st_ctim),
            info.st_ctim};
}

// "<length>\n<bytes>": sections of any content, NUL bytes included.
std::string section(std::string_view content) { return std::to_string(content.size()) + '\n' + std::string(content); }

std::optional<std::string_view> take_section(std::string_view& rest) {
    const std::size_t newline = rest.find('\n');
    std::size_t length = 0;
    if (newline == std::string_view::npos) return std::nullopt;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + newline, length);
    if (error != std::errc() || end != rest.data() + newline || length > rest.size() - newline - 1) {
        return std::nullopt;
    }
    const std::string_view content = rest.substr(newline + 1, length);
    rest.remove_prefix(newline + 1 + length);
    return content;
}

// Stamps are NUL-terminated pairs: how and path, then what was observed.
bool stamps_match(std::string_view stamps) {
    while (!stamps.empty()) {
        const std::size_t path_end = stamps.find('\0');
        const std::size_t text_end = stamps.find('\0', path_end + 1);
        if (path_end == 0 || text_end == std::string_view::npos) return false;
        const std::string path(stamps.substr(1, path_end - 1));
        if (observe(stamps[0], path).text != stamps.substr(path_end + 1, text_end - path_end - 1)) {
            log::debug("The interpreter's kept answer is out of date: " + path + " changed");
            return false;
        }
        stamps.remove_prefix(text_end + 1);
    }
    return true;
}

// A script (a version manager's shim, a wrapper) may run another
// interpreter on each run, chosen by what no stamp covers.
bool is_script(const fs::path& interpreter) {
    const FileDescriptor file(::open(interpreter.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    char start[2] = {};
    return !file.is_open() || ::read(file.get(), start, sizeof start) != 2 || (start[0] == '#' && start[1] == '!');
}

bool is_before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Replaces `name` in `directory` with `content` through a temporary file;
// returns 0 or the errno value of what failed. The directory is this user's
// alone, so the process id makes the temporary name unique. No fsync: a file
// cut short by a crash is ignored when read.
int write_entry(int directory, const std::string& name, std::string_view content) {
    const std::string temporary = name + '.' + std::to_string(::getpid()) + ".tmp";
    FileDescriptor file(
        ::openat(directory, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.is_open()) return errno;
    int error = 0;
    try {
        error = write_all(file.get(), content);
    } catch (...) {
        (void)::unlinkat(directory, temporary.c_str(), 0);
        throw;
    }
    if (error == 0) error = file.close();
    if (error == 0 && ::renameat(directory, temporary.c_str(), directory, name.c_str()) != 0) error = errno;
    if (error != 0) (void)::unlinkat(directory, temporary.c_str(), 0);
    return error;
}

}  // namespace

InterpreterFactsCache::InterpreterFactsCache(const fs::path& interpreter) : interpreter_(interpreter) {
    std::optional<std::string> key = make_key(interpreter);
    std::string why_not = "the working directory or the host name is unknown";
    if (key) directory_ = open_directory(why_not);
    if (!directory_.is_open()) {
        log::debug("Not keeping the interpreter's answer: " + why_not);
        return;
    }
    key_ = std::move(*key);
    name_ = hex(sha1(key_));
}

std::optional<std::string> InterpreterFactsCache::load() const {
    if (!usable()) return std::nullopt;
    const FileDescriptor file(
        ::openat(directory_.get(), name_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.is_open() || ::fstat(file.get(), &info) != 0) return std::nullopt;
    std::string content;
    try {
        if (!S_ISREG(info.st_mode) || !is_private(info)) throw OsError("not this user's regular file");
        content = files::read(file.get(), name_, MAX_FILE);
    } catch (const OsError& error) {
        log::debug(std::string("Ignored the interpreter's kept answer ") + name_ + ": " + error.what());
        return std::nullopt;
    }
    std::string_view rest = content;
    const std::optional<std::string_view> key = take_section(rest);
    const std::optional<std::string_view> answer = take_section(rest);
    const std::optional<std::string_view> stamps = take_section(rest);
    if (!key || !answer || !stamps || !rest.empty() || *key != key_ || !stamps_match(*stamps)) return std::nullopt;
    return std::string(*answer);
}

void InterpreterFactsCache::store(std::string_view answer, const std::vector<std::string>& paths,
                                  const timespec& asked_at) const {
    if (!usable()) return;
    if (is_script(interpreter_)) {
        return log::debug("Not keeping the interpreter's answer: " + interpreter_.string() +
                          " is a script, which may run another interpreter each time");
    }
    std::error_code error;
    const fs::path absolute = fs::absolute(interpreter_, error).lexically_normal();
    OrderedSet<std::string> stamped;
    for (const char how : {'L', 'S', 'R'}) stamped.insert(how + interpreter_.string());
    // Where the interpreter looks for a virtual environment's configuration.
    stamped.insert('S' + (absolute.parent_path() / "pyvenv.cfg").string());
    stamped.insert('S' + (absolute.parent_path().parent_path() / "pyvenv.cfg").string());
    for (const std::string& path : paths) stamped.insert('S' + path);
    std::string stamps;
    for (const std::string& entry : stamped) {
        const Observed now = observe(entry[0], entry.substr(1));
        if (!is_before(now.changed, asked_at)) {
            return log::debug("Not keeping the interpreter's answer: " + entry.substr(1) +
                              " changed while it was asked");
        }
        stamps += entry + '\0' + now.text + '\0';
    }
    const std::string content = section(key_) + section(answer) + section(stamps);
    if (content.size() > MAX_FILE) return log::debug("Not keeping the interpreter's answer: it is too long");
    if (const int failed = write_entry(directory_.get(), name_, content); failed != 0) {
        log::debug("Not keeping the interpreter's answer: " + std::string(std::strerror(failed)));
    }
}

}  // namespace quorl
