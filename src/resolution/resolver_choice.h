// Which resolver `resolve` runs for the environment of an interpreter, and
// whether that environment's pip can do what is asked of it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorl {

// The command that starts pip-compile for the environment of `python`, to
// which the specified arguments are appended; empty when pip's own resolver
// is to resolve instead. The first that applies:
// 1. `<directory of python>/pip-compile`, an executable file;
// 2. `<python> -m piptools compile`, when pip-tools is installed there;
// 3. `pip-compile` on PATH, unless its script runs on another interpreter
//    whose marker values differ: its pins would be those of that
//    interpreter (a dependency only the environment's Python needs would be
//    missing), so one warning names both interpreters and pip's resolver of
//    `python` runs instead;
// 4. pip's own resolver.
// Throws QuorlError when the environment of `python` cannot be read.
std::vector<std::string> choose_pip_compile(const std::filesystem::path& python);

// What the environment's pip is needed for: installing, or resolving, which
// takes `pip install --dry-run` (pip 22.2 or later).
enum class PipUse { Install, Resolve };

// Throws QuorlError, one line saying what would help, when the environment of
// `python` has no pip, or for PipUse::Resolve one older than 22.2.
void require_pip(const std::filesystem::path& python, PipUse use);

}  // namespace quorl
