// The pins of a resolved file, which `groups` and `release` take as
// RESOLVED_TXT: a pinned requirements file, or a PEP 751 lock file
// (pylock.toml, pylock.<name>.toml). The one place that tells them apart.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "pep/marker.h"
#include "resolution/generator_output.h"

namespace quorl {

struct ResolvedPins {
    // Base package name to the pinned text that groups are pinned with. Of
    // a pinned requirements file, as read_requirements_versions gives it (a
    // marker stays part of the text), except that a pin whose marker is
    // false does not replace an earlier one of the name that applies; of a
    // lock file, the version of the entry that applies to the environment.
    VersionsMap versions;
    // Set only where it differs from `versions`: the bare versions of the
    // pins that apply to the environment (a pin whose marker is false there
    // pins nothing). What installed versions are compared with.
    std::optional<VersionsMap> applying;

    const VersionsMap& in_environment() const { return applying ? *applying : versions; }
    VersionsMap take_in_environment() && { return applying ? std::move(*applying) : std::move(versions); }
};

// The marker values of the environment, asked for only when a pin has a
// marker (asking may mean running the interpreter).
using MarkerSource = std::function<const MarkerValues&()>;

// True for a file name that PEP 751 gives lock files: "pylock.toml", or
// "pylock.<name>.toml" where <name> holds no ".".
bool is_lock_file_name(const std::filesystem::path& path);

// The pins of `file`, read as a lock file or as a pinned requirements file
// by its name; markers are evaluated with the values `markers` gives.
// Errors as the reader of each kind throws them, each naming the file.
ResolvedPins read_resolved_pins(const std::filesystem::path& file, const MarkerSource& markers);
// The same with the marker values of the current interpreter
// (current_interpreter_facts), asked for only when needed.
ResolvedPins read_resolved_pins(const std::filesystem::path& file);

// The pins of a pinned requirements file (see RequirementGenerator's
// read_requirements_versions for its errors).
ResolvedPins read_pinned_requirements_file(const std::filesystem::path& file, const MarkerSource& markers);

// The pins of a PEP 751 lock file: each [[packages]] entry's name and
// version, of the entries whose marker holds (or that have none). Throws
// ValueError naming the file for a file that is not TOML, a lock-version
// that is missing or whose major version is not 1, an entry without a
// name, a marker that does not parse, and two applying entries of one name
// with different versions. An entry without a version pins nothing.
ResolvedPins read_lock_file(const std::filesystem::path& file, const MarkerSource& markers);

}  // namespace quorl
