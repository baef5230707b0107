// The command-line application: the commands `resolve`, `groups` and
// `release`, their options, and the mapping of errors to exit statuses.
#pragma once

namespace quorl::cli {

// Parses the process arguments, runs one command and returns the exit status:
// 0 on success, 2 for usage errors and duplicate group names, the resolver's
// own status when it failed, 1 for any other error (printed as one line on
// standard error).
int run_app(int argc, char** argv);

}  // namespace quorl::cli
