#include "resolution/resolver_run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <utility>

#include "python/canonical_name.h"
#include "python/interpreter.h"
#include "support/errors.h"
#include "support/files.h"
#include "support/process.h"

namespace quorl {
namespace {

// A private directory for pip's report, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorl-resolve-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw OsError("cannot create a temporary directory in " + pattern);
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace

std::filesystem::path find_pip_compile(const std::filesystem::path& python) {
    const std::filesystem::path beside = python.parent_path() / "pip-compile";
    if (files::is_executable(beside)) return beside;
    return find_on_path("pip-compile");
}

int run_pip_compile(const std::filesystem::path& pip_compile, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{pip_compile.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_process(command).exit_status;
}

std::vector<std::string> pip_fallback_command(const std::filesystem::path& python, const std::filesystem::path& input,
                                              const std::filesystem::path& report,
                                              const std::vector<std::string>& extra_index_urls,
                                              const std::vector<std::string>& trusted_domains) {
    std::vector<std::string> command{python.string(), "-m",       "pip",          "install",     "--dry-run",
                                     "--ignore-installed",        "--quiet",      "--report",    report.string(),
                                     "-r",                        input.string()};
    for (const std::string& url : extra_index_urls) command.insert(command.end(), {"--extra-index-url", url});
    for (const std::string& host : trusted_domains) command.insert(command.end(), {"--trusted-host", host});
    return command;
}

std::string pinned_lines_from_pip_report(std::string_view report_json) {
    std::vector<std::pair<std::string, std::string>> pins;
    try {
        const nlohmann::json report = nlohmann::json::parse(report_json);
        for (const nlohmann::json& item : report.at("install")) {
            const nlohmann::json& metadata = item.at("metadata");
            std::string name = canonical_name(metadata.at("name").get<std::string>());
            if (name == "pip" || name == "setuptools") continue;
            pins.emplace_back(std::move(name), metadata.at("version").get<std::string>());
        }
    } catch (const nlohmann::json::exception& error) {
        throw QuorlError(std::string("cannot read pip's installation report: ") + error.what());
    }
    std::sort(pins.begin(), pins.end());
    std::string content;
    for (const auto& [name, version] : pins) content += name + "==" + version + "\n";
    return content;
}

int resolve_with_pip(const std::filesystem::path& python, const std::filesystem::path& input,
                     const std::filesystem::path& output, const std::vector<std::string>& extra_index_urls,
                     const std::vector<std::string>& trusted_domains) {
    TemporaryDirectory scratch;
    const std::filesystem::path report = scratch.path() / "report.json";
    const int status =
        run_process(pip_fallback_command(python, input, report, extra_index_urls, trusted_domains)).exit_status;
    if (status != 0) return status;
    files::replace_atomically(output, pinned_lines_from_pip_report(files::read(report)));
    return 0;
}

}  // namespace quorl
