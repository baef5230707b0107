// The pinned file that pip-compile would write, made from the installation
// report of pip's own resolver (`pip install --dry-run --report`), for
// environments without pip-compile.
#pragma once

#include <string>
#include <string_view>

namespace quorl {

// The lines pip-compile writes with the tool's flags (no header, no
// annotations) for the resolution in `report_json`: one
// "name[extra,...]==version" line per package, canonical names, sorted by
// name. A package carries the extras that were asked of it, sorted: a root's
// `requested_extras`, and the extras that a requirement of another package
// in the resolution asks for (under the report's marker environment). pip,
// setuptools and distribute end the file commented out, under pip-compile's
// "unsafe" note, as pip-compile leaves them without --allow-unsafe. Throws
// QuorlError for a report it cannot read.
std::string pinned_lines_from_pip_report(std::string_view report_json);

}  // namespace quorl
