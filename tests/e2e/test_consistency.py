"""Consistency warnings of `groups` and `release` on a real venv whose
conflicts were made with `pip install --no-deps`, compared with what
`pip check` reports on it."""
import re
import subprocess

import pytest

from fakes import FakeVenv
from pykit import build_wheel, installed_venv, pip_environment

# name, installed version, requirements, extras
INSTALLED = [
    ("pandas", "2.1.0", ["numpy>=1.22", "python-dateutil>=2.8", "pytz>=2020.1", "six==1.*", "Tool~=1.4",
                         "tzlocal==5.0", 'winreg-only>=1; sys_platform == "win32"'],
     {"excel": ["xlrd>=5"]}),
    ("numpy", "1.20.0", [], None),          # below pandas' >=1.22
    ("pytz", "2023.3rc1", [], None),        # a pre-release satisfies >=2020.1
    ("six", "2.0", [], None),               # outside ==1.*
    ("tool", "1.3", [], None),              # below ~=1.4, and not pinned
    ("tzlocal", "5.0+deb12", [], None),     # a local version satisfies ==5.0
    ("xlrd", "1.0", [], None),              # an extra's requirement: not judged
    ("unrelated", "1.0", ["numpy<1"], None),  # a conflict no group reaches
]
PINS = "pandas==2.1.0\nnumpy==1.26.4\npytz==2023.3rc1\nsix==2.0\ntzlocal==5.0+deb12\nxlrd==1.0\n"


@pytest.fixture(scope="module")
def venv(tmp_path_factory):
    root = tmp_path_factory.mktemp("consistency")
    for name, version, requires, extras in INSTALLED:
        build_wheel(root / "wheels", name, version, requires=requires, extras=extras)
    return installed_venv(root, root / "wheels", no_deps=[name for name, *_ in INSTALLED])


def pip_check(venv):
    """(requirer, required name) for every problem pip check reports."""
    result = subprocess.run([str(venv.python), "-m", "pip", "check"], capture_output=True, text=True,
                            env=pip_environment())
    assert result.returncode == 1, result.stdout
    return {(m[1], m[2].lower()) for m in re.finditer(r"^(\S+) \S+ (?:requires|has requirement) ([\w.-]+)",
                                                      result.stdout, re.M)}


def requirement_warnings(stderr):
    return {(m[1], m[2].lower()) for m in re.finditer(r"^WARNING: (\S+) \S+ requires ([\w.-]+)", stderr, re.M)}


def test_warnings_match_pip_check_and_name_drift_and_unpinned(run_tool, venv, tmp_path):
    pins = tmp_path / "pins.txt"
    pins.write_text(PINS)
    # Two groups reach the same distributions: each warning comes once.
    result = run_tool(["groups", pins, "-g", "one:pandas[excel]", "-g", "two:numpy,pandas"], env=venv.env(), check=0)
    assert result.stdout.startswith("Generating groups from pins.txt\none\n===\n- pandas[excel]\n")
    expected = {pair for pair in pip_check(venv) if pair[0] != "unrelated"}
    assert requirement_warnings(result.stderr) == expected == {
        ("pandas", "numpy"), ("pandas", "python-dateutil"), ("pandas", "six"), ("pandas", "tool")}
    # python-dateutil is missing: the map's own warning about it stays.
    lines = [line for line in result.stderr.splitlines() if "when fetching extras" not in line]
    assert len(lines) == len(set(lines)) == 6
    assert f"WARNING: numpy is installed at 1.20.0, but {pins} pins 1.26.4" in lines
    assert f"WARNING: tool 1.3 is installed, but {pins} does not pin it" in lines
    assert "WARNING: pandas 2.1.0 requires numpy>=1.22, but numpy 1.20.0 is installed" in lines


def test_strict_fails_before_printing_or_writing(run_tool, venv, tmp_path):
    pins = tmp_path / "pins.txt"
    pins.write_text(PINS)
    groups = run_tool(["groups", pins, "-g", "g:numpy", "--strict"], env=venv.env(), check=1)
    assert groups.stdout == ""
    assert groups.stderr.splitlines()[-1] == "Error: 1 consistency warning with --strict: nothing printed"

    out = tmp_path / "release.json"
    release = run_tool(["release", pins, out, "--strict"], env=venv.env(), check=1)
    assert release.stderr.splitlines()[-1] == "Error: 6 consistency warnings with --strict: nothing written"
    assert not out.exists()
    # Without --strict the check runs while the release is pinned: its
    # warnings still come before the error of a package left unpinned.
    release = run_tool(["release", pins, out], env=venv.env(), check=1)
    lines = release.stderr.splitlines()
    assert not out.exists()
    assert f"WARNING: tool 1.3 is installed, but {pins} does not pin it" in lines[:-1]
    assert lines[-1].startswith("Error: No pinned version for 'python-dateutil'")


def test_unreadable_pins_are_one_warning_for_groups(run_tool, venv, tmp_path):
    result = run_tool(["groups", tmp_path / "missing.txt", "-g", "g:xlrd"], env=venv.env(), check=0)
    assert result.stdout == "Generating groups from missing.txt\ng\n=\n- xlrd\n"
    assert [line for line in result.stderr.splitlines() if "pins" in line] == [
        f"WARNING: Installed versions are not compared with pins: cannot open '{tmp_path / 'missing.txt'}': "
        "No such file or directory"]


def test_groups_writes_its_warnings_after_its_listing_never_inside_it(exe, tmp_path):
    # Over 64 KiB of warnings (thousands of reached distributions the pinned
    # file does not pin) beside a listing long enough to be written in pieces.
    venv = FakeVenv(tmp_path / "venv")
    names = [f"dependency-{i:04d}" for i in range(3000)]
    venv.plant("top", ("Name: top\nVersion: 1.0\n" + "".join(f"Requires-Dist: {n}\n" for n in names)).encode())
    for name in names:
        venv.plant(name, f"Name: {name}\nVersion: 1.0\n".encode())
    (tmp_path / "pins.txt").write_text("top==1.0\n")
    groups = [f"g{i:02d}" for i in range(20)]
    result = subprocess.run([str(exe), "groups", "pins.txt", *(f"-g{group}:top" for group in groups)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=venv.env(), cwd=tmp_path, text=True)
    assert result.returncode == 0, result.stdout[-2000:]
    lines = result.stdout.splitlines()
    listing = ["Generating groups from pins.txt"]
    for group in groups:
        listing += [group, "===", "- top", *(f"  - {name}" for name in names)]
    assert lines[:len(listing)] == listing
    warnings = lines[len(listing):]
    assert len(warnings) == len(names) and all(line.startswith("WARNING: ") for line in warnings)
    assert len("\n".join(warnings)) > 64 * 1024
