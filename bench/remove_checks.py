#!/usr/bin/env python3
"""Takes the consistency checks out of a copy of the source tree, so that
bench/consistency_cost.sh can time the same code with and without them.

    bench/remove_checks.py TREE

In the copy, `groups` and `release` pass no InstalledRequirements to the map
(nothing is judged while the environment is read) and never check, read the
pins for a check or write its warnings (the copy is for runs without
--strict). Every edit must match exactly once:
when the call sites change, this script fails rather than measure something
else.
"""
import sys
from pathlib import Path

EDITS = {
    "src/cli/groups_command.cpp": [
        ("InstalledDistributionReader::current(), true, &installed, &roots)",
         "InstalledDistributionReader::current(), true, nullptr, &roots)"),
        ("    compare_with_resolved_file(check, args);\n", ""),
        ("        check_everything_reached(check, selection.groups, installed_map);\n"
         "        check.enforce(strict, \"nothing printed\");\n", "        (void)strict;\n"),
    ],
    "src/release/package_extras_manager.cpp": [
        ("InstalledDistributionReader::current(), true, &installed, &roots)",
         "InstalledDistributionReader::current(), true, nullptr, &roots)"),
        ("            check.check_reached(std::string_view(requirement).substr(0, requirement.find('[')));\n",
         "            (void)requirement;\n"),
    ],
}


def main() -> int:
    tree = Path(sys.argv[1])
    for name, edits in EDITS.items():
        path = tree / name
        text = path.read_text()
        for old, new in edits:
            if text.count(old) != 1:
                print(f"remove_checks: {name} no longer has exactly one {old.strip()!r}", file=sys.stderr)
                return 1
            text = text.replace(old, new)
        path.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
