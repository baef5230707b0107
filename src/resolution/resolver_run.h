// Running the environment's resolver: pip-compile where it is installed, and
// otherwise pip's own resolver, which reports what it would install and from
// which the pinned file is written here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "resolution/index_access.h"

namespace quorl {

// pip-compile of the environment: `<directory of python>/pip-compile` when it
// is an executable file, else `pip-compile` on PATH; empty when neither.
std::filesystem::path find_pip_compile(const std::filesystem::path& python);

// Runs `pip_compile` with `arguments` (streams inherited) and the index
// credentials of `indexes`, and returns its exit status.
int run_pip_compile(const std::filesystem::path& pip_compile, const std::vector<std::string>& arguments,
                    const IndexAccess& indexes);

// <python> -m pip install --dry-run --ignore-installed --quiet --report REPORT
//   -r INPUT (--extra-index-url URL)* (--trusted-host H)*
std::vector<std::string> pip_fallback_command(const std::filesystem::path& python, const std::filesystem::path& input,
                                              const std::filesystem::path& report,
                                              const std::vector<std::string>& extra_index_urls,
                                              const std::vector<std::string>& trusted_domains);

// Resolves `input` with pip's resolver through `indexes` and, when pip
// succeeds, writes the pinned file `output` (atomically). Returns pip's exit
// status.
int resolve_with_pip(const std::filesystem::path& python, const std::filesystem::path& input,
                     const std::filesystem::path& output, const IndexAccess& indexes,
                     const std::vector<std::string>& trusted_domains);

}  // namespace quorl
