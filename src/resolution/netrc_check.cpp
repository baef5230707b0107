#include "resolution/netrc_check.h"

#include <cstdlib>

#include "support/errors.h"
#include "support/logging.h"
#include "support/process.h"
#include "support/text.h"

namespace quorl {
namespace {

// Reads the file as pip does and answers, NUL-separated after a tag, either
// the error (with its line, when the parser tells it), or for each machine named after the file
// whether it has an entry, its login and its password. Runs on Python 3.6
// and later; the answer is framed so that a .pth file's printing stays out.
constexpr const char* CHECK_PROGRAM = R"py(import netrc, sys
out = getattr(sys.stdout, "buffer", sys.stdout)
def put(*fields):
    out.write(b"\0" + b"\0".join(f.encode("utf-8", "surrogateescape") for f in fields) + b"\0")
try:
    hosts = netrc.netrc(sys.argv[1]).hosts
except netrc.NetrcParseError as error:
    put("quorl-netrc-error", str(error.msg), str(error.lineno))
except Exception as error:
    put("quorl-netrc-error", str(error))
else:
    put("quorl-netrc-read", *[f for m in sys.argv[2:] for f in (
        ("1", hosts[m][0] or "", hosts[m][2] or "") if m in hosts else ("0", "", ""))])
out.flush()
)py";

// Far more than the answer for any number of index hosts.
constexpr std::size_t MAX_CHECK_ANSWER = std::size_t{1} << 20;

struct Reading {
    bool answered = false;
    std::string parse_error;          // empty when the file was read
    std::size_t error_line = 0;       // 0 when not told
    std::vector<std::string> fields;  // has entry, login, password: per entry
};

Reading read_back(const std::filesystem::path& python, const std::filesystem::path& path,
                  const std::vector<NetrcEntry>& entries) {
    std::vector<std::string> argv{python.string(), "-c", CHECK_PROGRAM, path.string()};
    for (const NetrcEntry& entry : entries) argv.push_back(entry.machine);
    ProcessResult result;
    try {
        result = run_process(argv, {.stdout_mode = StreamMode::Capture,
                                    .stderr_mode = StreamMode::Capture,
                                    .capture_limit = MAX_CHECK_ANSWER});
    } catch (const OsError&) {
        return {};
    }
    const std::size_t tag = result.out.find(std::string_view("\0quorl-netrc-", 13));
    if (result.exit_status != 0 || result.overflowed || tag == std::string::npos) return {};
    std::vector<std::string> fields = text::split(result.out.substr(tag + 1), std::string_view("\0", 1));
    Reading reading;
    reading.answered = true;
    if (fields.front() == "quorl-netrc-error") {
        reading.parse_error = fields.size() > 1 ? fields[1] : "cannot be read";
        if (fields.size() > 2) reading.error_line = std::strtoul(fields[2].c_str(), nullptr, 10);
    } else {
        reading.fields.assign(fields.begin() + 1, fields.end());
    }
    return reading;
}

// The first entry that the reading does not give back exactly; nullptr when
// all come back.
const NetrcEntry* first_lost(const Reading& reading, const std::vector<NetrcEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = 3 * i;
        if (reading.fields.size() < at + 3 || reading.fields[at] != "1" || reading.fields[at + 1] != entries[i].login ||
            reading.fields[at + 2] != entries[i].password) {
            return &entries[i];
        }
    }
    return nullptr;
}

void warn_once(const std::string& message) {
    static bool warned = false;
    if (!warned) log::warning(message);
    warned = true;
}

}  // namespace

void write_checked_netrc(const std::filesystem::path& python, const std::filesystem::path& path,
                         const UsersNetrc& users, const std::vector<NetrcEntry>& entries,
                         const std::function<void(std::string_view)>& write) {
    for (const NetrcEntry& entry : entries) {
        if (entry.login.find('\r') != std::string::npos || entry.password.find('\r') != std::string::npos) {
            throw QuorlError("The credentials for " + entry.machine +
                             " hold a carriage return, which no netrc file carries (pip would read a newline in "
                             "its place): refusing to send pip other credentials");
        }
    }
    struct Form {
        bool with_users;
        NetrcTokens tokens;
    };
    std::vector<Form> forms;
    if (!users.text.empty()) forms = {{true, NetrcTokens::Quoted}, {true, NetrcTokens::Bare}};
    forms.insert(forms.end(), {{false, NetrcTokens::Quoted}, {false, NetrcTokens::Bare}});
    std::string users_fault = "the entries after it would not be read as written";
    const NetrcEntry* lost = nullptr;
    for (const Form& form : forms) {
        write(merged_netrc(form.with_users ? users.text : "", entries, form.tokens));
        const Reading reading = read_back(python, path, entries);
        if (!reading.answered) {
            log::debug("Cannot check the netrc for pip with " + python.string() + ": it is written as it is");
            if (&form != &forms.front()) write(merged_netrc(users.text, entries));
            return;
        }
        if (reading.parse_error.empty() && (lost = first_lost(reading, entries)) == nullptr) {
            if (!form.with_users && !users.text.empty()) {
                warn_once(users.path + " does not suit Python's netrc module of " + python.string() +
                          ", with which pip reads it (" + users_fault +
                          "): its entries are left out of the netrc pip reads in this run");
            }
            return;
        }
        if (form.with_users && !reading.parse_error.empty()) {
            // The parser quotes the token it stopped at, which may be a
            // password: the line tells where instead.
            users_fault = text::rstrip(reading.parse_error.substr(0, reading.parse_error.find_first_of("'\"")));
            if (users_fault.empty()) users_fault = "it cannot be read";
            // A line past the user's file is where an entry of it left off.
            const std::size_t lines = text::split_lines(users.text).size();
            if (reading.error_line > 0 && reading.error_line <= lines) {
                users_fault += " (line " + std::to_string(reading.error_line) + ")";
            } else if (reading.error_line > lines) {
                users_fault += " (after its last line)";
            }
        }
    }
    throw QuorlError("The credentials for " + (lost != nullptr ? lost->machine : entries.front().machine) +
                     " cannot reach pip through a netrc file: Python's netrc module of " + python.string() +
                     " does not read them back as given (before Python 3.11 it reads no white space, quote or "
                     "non-ASCII character in them)");
}

}  // namespace quorl
