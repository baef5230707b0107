#include "resolution/resolver_run.h"

#include <utility>

#include "resolution/pip_report.h"
#include "support/files.h"
#include "support/process.h"
#include "support/temporary_directory.h"

namespace quorl {
int run_pip_compile(const std::vector<std::string>& pip_compile, const std::vector<std::string>& arguments,
                    const IndexAccess& indexes) {
    std::vector<std::string> command = pip_compile;
    command.insert(command.end(), arguments.begin(), arguments.end());
    // The resolver runs on this process's own streams, input included.
    const ProcessOptions options{.environment = indexes.environment(), .stdin_mode = StreamMode::Inherit};
    return run_process(command, options).exit_status;
}

std::vector<std::string> pip_fallback_command(const std::filesystem::path& python, const std::filesystem::path& input,
                                              const std::filesystem::path& report,
                                              const std::vector<std::string>& extra_index_urls,
                                              const std::vector<std::string>& trusted_domains) {
    std::vector<std::string> command{python.string(),      "-m",      "pip",      "install",       "--dry-run",
                                     "--ignore-installed", "--quiet", "--report", report.string(), "-r",
                                     input.string()};
    for (std::string& option : pip_index_options(extra_index_urls, trusted_domains)) {
        command.push_back(std::move(option));
    }
    return command;
}

int resolve_with_pip(const std::filesystem::path& python, const std::filesystem::path& input,
                     const std::filesystem::path& output, const IndexAccess& indexes,
                     const std::vector<std::string>& trusted_domains) {
    TemporaryDirectory scratch("quorl-resolve");
    const std::filesystem::path report = scratch.path() / "report.json";
    // In place of the resolver, on the same streams.
    const ProcessOptions options{.environment = indexes.environment(), .stdin_mode = StreamMode::Inherit};
    const int status =
        run_process(pip_fallback_command(python, input, report, indexes.urls(), trusted_domains), options).exit_status;
    if (status != 0) return status;
    files::replace_atomically(output, pinned_lines_from_pip_report(files::read(report)));
    return 0;
}

}  // namespace quorl
