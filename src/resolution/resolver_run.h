// Running the chosen resolver (resolver_choice.h): pip-compile, or pip's own
// resolver, which reports what it would install and from which the pinned
// file is written here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "resolution/index_access.h"

namespace quorl {

// Runs `pip_compile` (a program and its first arguments, see
// choose_pip_compile) with `arguments` appended, on this process's streams
// and with the index credentials of `indexes`; returns its exit status.
int run_pip_compile(const std::vector<std::string>& pip_compile, const std::vector<std::string>& arguments,
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
