"""Prints `specifier<TAB>version<TAB>0|1` for a generated table of version
specifiers and installed versions, judged by Debian's python3-packaging the
way an environment check judges them (pre-releases admitted)."""
import itertools

from packaging.specifiers import InvalidSpecifier, SpecifierSet

VERSIONS = [
    "0.9", "1", "1.0", "1.0.0", "1.0.1", "1.1", "1.4.5", "2.0", "10.0", "1!1.0",
    "1.0a1", "1.0b2", "1.0rc1", "1.0.dev1", "1.0a1.dev1", "1rc1", "2.0rc1",
    "1.0.post1", "1.0.post1.dev1", "1.post1", "1.1.post1",
    "1.0+local", "1.0+local.7", "1.0.0+abc", "1.0+Local.007",
    "V1.0", "1.0-1", "1.0_RC_1", "01.00",
]
BOUNDS = ["1", "1.0", "1.0.0", "1.1", "2.0", "1!1.0", "1.0a1", "1.0rc1", "1.0.dev1",
          "1.0.post1", "1.0+local", "1.post1", "1.4.5", "01.0"]
WILDCARDS = ["1.*", "1.0.*", "1.0.0.*", "2.*", "1!1.*", "0.*"]
OPERATORS = ["==", "!=", "<=", ">=", "<", ">", "~="]


def specifiers():
    for op, bound in itertools.product(OPERATORS, BOUNDS):
        yield op + bound
    for op, wildcard in itertools.product(["==", "!="], WILDCARDS):
        yield op + wildcard
    yield from ["===1.0", "===1.0.0", "===1.0+LOCAL", "===v1.0", "", ">=1.0,<2.0", "~=1.0,!=1.1", ">1.0 , <=1.1"]


for specifier in specifiers():
    try:
        judged = SpecifierSet(specifier)
    except InvalidSpecifier:
        continue  # "~=1" or "<1.0+local": not a clause a requirement can hold
    for version in VERSIONS:
        if ".*" in specifier and "!" in version and "!" not in specifier[2:]:
            # Debian's 23.0 reads the epoch of "1!1.0" as a release number here
            # ("==0.*" holds); later releases, and pip's own copy, do not.
            continue
        print(f"{specifier}\t{version}\t{int(judged.contains(version, prereleases=True))}")
