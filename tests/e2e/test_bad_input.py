"""Bad input of every kind: broken metadata and odd entries in the installed
environment, bad pinned requirements files, odd group strings and names, and
outside programs that are missing or killed. Each run either reads past what
cannot hurt, or ends with one clear line on standard error and the documented
exit status; none crashes, hangs or touches a file it should not."""
import json
import os
import shutil
import subprocess
from pathlib import Path

import pytest

from fakes import (NOBODY, PIP_COMPILE, RELEASE_PINS, FakeVenv, ResolveEnv, assert_one_clear_error,
                   can_drop_privileges, error_lines, run_bytes, shared_tmp, write_script)

GOOD = b"Metadata-Version: 2.1\nName: good\nVersion: 1.0\nRequires-Dist: helper\n"
HELPER = b"Metadata-Version: 2.1\nName: helper\nVersion: 1.0\n"
LISTING = b"Generating groups from pins.txt\nall\n===\n- good\n  - helper\n"


def plant_venv(root):
    venv = FakeVenv(root)
    venv.plant("good", GOOD)
    venv.plant("helper", HELPER)
    (venv.path / "pins.txt").write_text("good==1.0\nhelper==1.0\n")  # what `groups` compares with
    return venv


@pytest.fixture(scope="module")
def venv(tmp_path_factory):
    return plant_venv(tmp_path_factory.mktemp("bad-input") / "venv")


@pytest.fixture
def site(venv):
    """site-packages of the shared venv; whatever a test plants goes again."""
    yield venv.site_packages
    for entry in venv.site_packages.iterdir():
        if entry.name in ("good-1.0.dist-info", "helper-1.0.dist-info"):
            continue
        if entry.is_dir() and not entry.is_symlink():
            shutil.rmtree(entry)
        else:
            entry.unlink()


def groups(exe, venv, *args, env=None, user=None, reach=None):
    """`groups` of the good group; with `reach`, a second group reaches that
    planted distribution, since only what the groups reach is read."""
    planted = ["-g", f"planted:{reach}"] if reach else []
    return run_bytes(exe, ["groups", "pins.txt", "-g", "all:good", *planted, *args], env or venv.env(),
                     cwd=venv.path, user=user, timeout=120)


def reading_problems(result):
    """The lines of standard error less what a planted group itself earns: its
    root is not pinned, or not installed."""
    return [line for line in error_lines(result)
            if not line.endswith(("does not pin it", "is not in the installed environment"))]


def dist_info(site, name="bad"):
    path = site / f"{name}-1.0.dist-info"
    path.mkdir()
    return path


# Entries that are not usable distributions but harm nothing: each is read
# past (or read as a distribution without requirements) and the listing of
# the good group is unchanged. A FIFO would block a plain open() for ever.
HARMLESS = {
    "empty METADATA": lambda site: (dist_info(site) / "METADATA").write_bytes(b""),
    "binary METADATA": lambda site: (dist_info(site) / "METADATA").write_bytes(bytes(range(256)) * 64),
    "METADATA not UTF-8": lambda site: (dist_info(site) / "METADATA").write_bytes(
        b"Name: caf\xe9\nSummary: \xff\xfe\nRequires-Dist: helper ; os_name != '\xe9'\n"),
    "METADATA is a directory": lambda site: (dist_info(site) / "METADATA").mkdir(),
    "METADATA is a FIFO": lambda site: os.mkfifo(dist_info(site) / "METADATA"),
    "egg-info is a FIFO": lambda site: os.mkfifo(site / "bad.egg-info"),
    ".dist-info is a file": lambda site: (site / "bad-1.0.dist-info").write_bytes(GOOD),
    ".dist-info is a dangling symlink": lambda site: (site / "bad-1.0.dist-info").symlink_to(site / "nowhere"),
}


@pytest.mark.parametrize("case", HARMLESS)
def test_entries_that_harm_nothing_are_read_past(exe, venv, site, case):
    HARMLESS[case](site)
    result = groups(exe, venv, reach="bad")
    assert result.returncode == 0 and result.stdout.startswith(LISTING), result.stderr
    assert b"Error" not in result.stderr and b"ERROR" not in result.stderr


def test_a_sparse_2_gb_metadata_is_read_up_to_a_bound(exe, venv, site):
    metadata = dist_info(site, "sparse") / "METADATA"
    with open(metadata, "wb") as sparse:
        sparse.write(b"Name: sparse\nRequires-Dist: helper\n")
        sparse.truncate(2 << 30)  # no blank line ends the header block
    result = groups(exe, venv, reach="sparse")
    assert result.returncode == 0 and result.stdout.startswith(LISTING), result.stderr
    assert reading_problems(result) == [
        f"WARNING: {metadata}: more than 4 MiB to read; only its complete lines within the first 4 MiB are used"]


def deep_marker(site):
    nested = b"(" * 100_000 + b'os_name == "posix"' + b")" * 100_000
    (dist_info(site, "deep") / "METADATA").write_bytes(b"Name: deep\nRequires-Dist: helper ; " + nested + b"\n")


# Requirement lines that do not parse: each is skipped with one warning that
# names the distribution, its metadata and the line; the listing is unchanged.
SKIPPED = {
    "broken Requires-Dist": (
        lambda site: (dist_info(site, "broken") / "METADATA").write_bytes(
            b"Name: broken\nRequires-Dist: helper >= ; os_name\n"),
        ["Invalid requirement 'helper >= ; os_name' of distribution broken (", "broken-1.0.dist-info)",
         "Expected a valid version after '>=' at position 10"]),
    "Requires-Dist not UTF-8": (
        lambda site: (dist_info(site, "latin") / "METADATA").write_bytes(b"Name: latin\nRequires-Dist: caf\xe9\n"),
        ["Invalid requirement 'caf\\xe9' of distribution latin"]),
    "Requires-Dist with control characters": (
        lambda site: (dist_info(site, "ctl") / "METADATA").write_bytes(
            b"Name: ctl\nRequires-Dist: helper ; os_name == \x1b[31m\n"),
        ["Invalid requirement 'helper ; os_name == \\x1b[31m'"]),
    "markers nested 100,000 deep": (
        deep_marker, ["Invalid requirement 'helper ; ((((", "bytes left out",
                      "Expected at most 100 nested parentheses at position"]),
}


@pytest.mark.parametrize("case", SKIPPED)
def test_requirement_lines_that_do_not_parse_are_skipped_with_one_warning(exe, venv, site, case):
    plant, fragments = SKIPPED[case]
    plant(site)
    result = groups(exe, venv, reach=next(entry.name.split("-")[0] for entry in site.iterdir()
                                          if not entry.name.startswith(("good-", "helper-"))))
    assert result.returncode == 0 and result.stdout.startswith(LISTING), result.stderr
    [warning] = reading_problems(result)
    assert warning.startswith("WARNING: ") and warning.endswith("; the line is skipped"), warning
    assert warning.isprintable() and len(warning) < 5000
    for fragment in fragments:
        assert fragment in warning, (fragment, warning)


def test_metadata_that_cannot_be_read_fails_with_one_line(exe, venv, site):
    (site / "loop-1.0.dist-info").symlink_to("loop-1.0.dist-info")
    result = groups(exe, venv, reach="loop")
    assert_one_clear_error(result, 1, "Cannot read ", "loop-1.0.dist-info/METADATA: Too many levels of symbolic links")
    assert result.stdout == b""


def test_a_search_path_directory_that_cannot_be_listed_is_named(exe, venv, site, tmp_path):
    loop = tmp_path / "loop"
    loop.symlink_to("loop")
    result = groups(exe, venv, env=venv.env(PYTHONPATH=loop))
    assert (result.returncode, result.stdout) == (0, LISTING), result.stderr
    assert error_lines(result) == [
        f"WARNING: Cannot list {loop}: Too many levels of symbolic links; distributions installed there are left out"]


@pytest.mark.skipif(not can_drop_privileges(), reason="needs root and setpriv to run as an unprivileged user")
def test_unreadable_metadata_and_site_packages_as_an_unprivileged_user(exe):
    with shared_tmp() as shared:
        venv = plant_venv(shared / "venv")
        result = groups(exe, venv, user=NOBODY)
        assert (result.returncode, result.stdout) == (0, LISTING), result.stderr

        secret = venv.plant("secret", b"Name: secret\n")
        secret.chmod(0)
        result = groups(exe, venv, user=NOBODY, reach="secret")
        assert_one_clear_error(result, 1, f"Cannot read {secret}/METADATA: Permission denied")
        assert error_lines(result)[0] == "ERROR: An error happened computing dependency tree"
        secret.chmod(0o755)

        venv.site_packages.chmod(0o311)
        result = groups(exe, venv, user=NOBODY)
        assert result.returncode == 0, result.stderr
        assert (f"WARNING: Cannot list {venv.site_packages}: Permission denied; "
                "distributions installed there are left out") in error_lines(result)


# --- pinned requirements files, as `release` reads them -------------------

@pytest.fixture(scope="module")
def release_env(tmp_path_factory):
    return FakeVenv(tmp_path_factory.mktemp("release") / "venv").env()


def release(exe, env, pins, out):
    return run_bytes(exe, ["release", pins, out], env, cwd=pins.parent, timeout=600)


@pytest.mark.parametrize("content, fragments", [
    (b"numpy==1.19.2\n-r other.txt\n", ["pins.txt, line 2: Invalid requirement '-r other.txt'"]),
    (b"numpy==1.19.2\n--index-url http://127.0.0.1:9/simple\n", ["line 2: Invalid requirement '--index-url"]),
    (b"numpy==1.19.2\nscipy>=1.5\n", ["Requirement scipy>=1.5 is not pinned"]),
    (b"numpy==1.19.2\nsci\xffpy==1.0\n", ["pins.txt, line 2: Invalid requirement 'sci\\xffpy==1.0'"]),
    (b"numpy==1.19.2\x1b[2J\n", ["line 1: Invalid requirement 'numpy==1.19.2\\x1b[2J'"]),
    (b"\x7fELF\x02\x01\x01\x00" + bytes(range(256)), ["pins.txt, line 1: Invalid requirement"]),
])
def test_bad_pinned_files_fail_with_one_line_and_write_nothing(exe, release_env, tmp_path, content, fragments):
    pins = tmp_path / "pins.txt"
    pins.write_bytes(content)
    out = tmp_path / "release.json"
    out.write_text("previous")
    assert_one_clear_error(release(exe, release_env, pins, out), 1, *fragments)
    assert out.read_text() == "previous"
    assert sorted(os.listdir(tmp_path)) == ["pins.txt", "release.json"]


def test_crlf_and_100_mb_pinned_files(exe, release_env, tmp_path):
    pins = tmp_path / "pins.txt"
    pins.write_text(RELEASE_PINS)
    expected = tmp_path / "expected.json"
    assert release(exe, release_env, pins, expected).returncode == 0

    pins.write_bytes(RELEASE_PINS.replace("\n", "\r\n").encode())
    out = tmp_path / "crlf.json"
    result = release(exe, release_env, pins, out)
    assert result.returncode == 0, result.stderr
    assert out.read_bytes() == expected.read_bytes()

    # 100 MB of comments around the pins: read in one pass, same result.
    comment = b"# " + b"x" * 97 + b"\n"
    with open(pins, "wb") as big:
        big.write(RELEASE_PINS.encode())
        big.write(comment * 1_000_000)
    out = tmp_path / "big.json"
    result = release(exe, release_env, pins, out)
    assert result.returncode == 0, result.stderr
    assert out.read_bytes() == expected.read_bytes()

    # 100 MB in one line that is not a requirement: one short error line.
    with open(pins, "wb") as big:
        big.write(b"numpy==1.19.2\n" + b"\xff\x00" * 50_000_000)
    out.write_text("previous")
    result = release(exe, release_env, pins, out)
    last = assert_one_clear_error(result, 1, "pins.txt, line 2: Invalid requirement '\\xff\\x00", "bytes left out")
    assert len(result.stderr) < 20_000 and len(last) < 20_000
    assert out.read_text() == "previous"
    pins.unlink()  # pytest keeps the last runs' directories: no 100 MB left behind


# --- group strings, package names and exclude files -----------------------

def test_odd_group_strings_and_names_stay_one_line_each_on_standard_error(exe, venv, site, tmp_path):
    result = run_bytes(exe, ["groups", "pins.txt", "-g", b"we\x1bb:go\xffod,hel\nper", "-e", b"pk\xffg\r"],
                       venv.env(), cwd=venv.path)
    assert result.returncode == 0, result.stderr
    # Standard output escapes the control character as standard error does, and underlines what it shows.
    assert result.stdout.startswith(b"Generating groups from pins.txt\nwe\\x1bb\n=======\n")
    assert error_lines(result) == [
        "WARNING: Package pk\\xffg\\r not found when fetching extras.",
        "WARNING: Root go\\xffod of group we\\x1bb is not in the installed environment",
        "WARNING: Root hel\\nper of group we\\x1bb is not in the installed environment",
    ]


@pytest.mark.parametrize("make, fragments", [
    (lambda path: path.write_bytes(b"helper\n\xff\xfe\n"), ["is not valid UTF-8 text"]),
    (lambda path: path.mkdir(), ["Is a directory"]),
    (lambda path: path.write_bytes(b"six\nnum[py\n"), ["line 2: ", "num[py"]),
])
def test_bad_exclude_files_fail_with_one_line(exe, venv, tmp_path, make, fragments):
    exclude = tmp_path / "exclude.txt"
    make(exclude)
    result = groups(exe, venv, "-x", exclude)
    assert_one_clear_error(result, 1, str(exclude), *fragments)


def test_release_json_stays_ascii_whatever_the_extras_are_called(exe, tmp_path):
    venv = FakeVenv(tmp_path / "venv")
    venv.plant("corvaneth_quorl_tessaly", b"Name: corvaneth-quorl-tessaly\n"
               b"Requires-Dist: numpy ; extra == \"caf\xc3\xa9\"\n"
               b"Requires-Dist: numpy ; extra == \"bad\xffbyte\"\n"
               b"Requires-Dist: pandas ; extra == \"ctl\x01\"\n"
               b"Requires-Dist: pandas ; extra == \"snake \xf0\x9f\x90\x8d\"\n")
    pins = tmp_path / "pins.txt"
    pins.write_text(RELEASE_PINS)
    out = tmp_path / "release.json"
    result = release(exe, venv.env(), pins, out)
    assert result.returncode == 0, result.stderr
    data = out.read_bytes()
    assert all(byte < 0x80 for byte in data)
    groups = list(json.loads(data))
    for name in ("caf\u00e9", "bad\ufffdbyte", "ctl\x01", "snake \U0001F40D"):
        assert name in groups, groups
    assert b'"snake \\ud83d\\udc0d"' in data


def test_extras_the_release_json_cannot_tell_apart_fail_before_anything_is_written(exe, tmp_path):
    venv = FakeVenv(tmp_path / "venv")
    venv.plant("corvaneth_quorl_tessaly", b"Name: corvaneth-quorl-tessaly\n"
               b"Requires-Dist: numpy ; extra == \"x\xff\"\n"
               b"Requires-Dist: pandas ; extra == \"x\xfe\"\n")
    pins = tmp_path / "pins.txt"
    pins.write_text(RELEASE_PINS)
    result = release(exe, venv.env(), pins, tmp_path / "release.json")
    assert_one_clear_error(result, 1, "Distribution corvaneth-quorl-tessaly declares the extras 'x\\xff' and "
                           "'x\\xfe', which differ only in bytes that are not UTF-8: the release JSON would "
                           "write both as \"x\\ufffd\"")
    assert len(error_lines(result)) == 1
    assert sorted(os.listdir(tmp_path)) == ["pins.txt", "venv"]


# --- the interpreter and the outside programs -----------------------------

@pytest.mark.parametrize("command", [["groups", "pins.txt", "-g", "all:good"], ["release", "pins.txt", "out.json"],
                                     ["resolve", "in.txt", "out.txt"]])
def test_no_interpreter_is_one_clear_error(exe, tmp_path, command):
    (tmp_path / "pins.txt").write_text(RELEASE_PINS)
    (tmp_path / "in.txt").write_text("numpy\n")
    empty = tmp_path / "bin"
    empty.mkdir()
    env = {"PATH": str(empty), "HOME": str(tmp_path)}
    result = run_bytes(exe, command, env, cwd=tmp_path)
    assert_one_clear_error(result, 1, "python")
    env["VIRTUAL_ENV"] = str(tmp_path / "no-such-venv")
    result = run_bytes(exe, command, env, cwd=tmp_path)
    assert_one_clear_error(result, 1, str(tmp_path / "no-such-venv"))
    assert not (tmp_path / "out.json").exists() and not (tmp_path / "out.txt").exists()


def write_interpreter(venv, script):
    python = venv.bin / "python"
    python.unlink()
    python.write_text(script)
    python.chmod(0o755)


# Interpreters that misbehave around the answer: each run ends (none waits
# on the terminal or reads a flood whole) with the listing or one clear line.
INTERPRETERS = {
    "floods its output": (lambda venv: write_interpreter(venv, "#!/bin/sh\nexec head -c 67108864 /dev/zero\n"), {},
                          ["bin/python wrote more than 8 MiB while reading its environment"]),
    "bogus PYTHONHOME": (lambda venv: None, {"PYTHONHOME": "/nonexistent"},
                         ["bin/python failed with exit status 1", "No module named 'encodings'"]),
    "a .pth file prints": (lambda venv: (venv.site_packages / "noisy.pth").write_text(
        "import sys; print('printed at start-up'); sys.stdout.flush()\n"), {}, None),
    "interactive at a terminal": (lambda venv: None, {"PYTHONINSPECT": "1"}, None),
}


@pytest.mark.parametrize("case", INTERPRETERS)
def test_an_interpreter_that_misbehaves_around_its_answer(exe, tmp_path, case):
    prepare, variables, fragments = INTERPRETERS[case]
    venv = plant_venv(tmp_path / "venv")
    prepare(venv)
    # A terminal that nobody types into: an interpreter that reads it, or
    # turns interactive at it, waits for ever.
    keep_open, terminal = os.openpty()
    try:
        result = subprocess.run([str(exe), "groups", "pins.txt", "-g", "all:good"], capture_output=True,
                                env=venv.env(**variables), cwd=venv.path, stdin=terminal, timeout=60)
    finally:
        os.close(terminal)
        os.close(keep_open)
    if fragments is None:
        assert (result.returncode, result.stdout) == (0, LISTING), result.stderr
    else:
        assert_one_clear_error(result, 1, *fragments)


PYTHON_27 = Path("/root/.pyenv/versions/2.7.18/bin/python")


@pytest.mark.skipif(not PYTHON_27.exists(), reason="no Python 2.7 here")
def test_a_python_older_than_3_6_is_named_with_what_is_needed(exe, tmp_path):
    result = run_bytes(exe, ["groups", "pins.txt", "-g", "all:good", "--python", PYTHON_27], os.environ.copy(),
                       cwd=tmp_path)
    assert_one_clear_error(result, 1, f"{PYTHON_27} is Python 2.7.18: Python 3.6 or later is needed")


def resolve(exe, env, extra, *args):
    return run_bytes(exe, ["resolve", "in.txt", "out.txt", "-i", "http://127.0.0.1:9/simple", *args],
                     env.env(**extra), cwd=env.work)


@pytest.mark.parametrize("pip_compile, extra, status, warning", [
    (True, {"STANDIN_SIGNAL": 9}, 137, "pip-compile was killed by signal 9 (Killed)"),
    (True, {"STANDIN_SIGNAL": 15}, 143, "pip-compile was killed by signal 15 (Terminated)"),
    (False, {"FAKE_PIP": "kill"}, 137, "python -m pip was killed by signal 9 (Killed)"),
])
def test_killed_resolver_ends_with_its_status_and_keeps_the_previous_file(exe, tmp_path, pip_compile, extra,
                                                                          status, warning):
    env = ResolveEnv(tmp_path, pip_compile=pip_compile)
    (env.work / "out.txt").write_text("previous\n")
    result = resolve(exe, env, extra)
    assert_one_clear_error(result, status, "An error happened processing the input .in file in.txt")
    assert warning in error_lines(result)[-2]
    assert result.stdout == b"Generating out.txt from in.txt\n"
    assert (env.work / "out.txt").read_text() == "previous\n"


# Environments whose pip cannot do what is asked (as `venv --without-pip` and
# uv make them, or with a pip older than `install --dry-run`), each with the
# line that says what would help.
PIPLESS = {
    "no pip, no pip-compile": (None, False, [], "has no pip: install pip-tools, or pip 22.2 or later, into it ("),
    "pip without --dry-run": (b"Name: pip\nVersion: 22.0\n", False, [],
                              "pip 22.0 of ", "install pip-tools, or pip 22.2 or later, into the environment"),
    "no pip to install with": (None, True, ["--install"], "has no pip: install pip into it (", "-m ensurepip"),
}


@pytest.mark.parametrize("case", PIPLESS)
def test_an_environment_whose_pip_cannot_do_it_is_one_clear_error(exe, tmp_path, case):
    pip_metadata, pip_compile, options, *fragments = PIPLESS[case]
    venv = FakeVenv(tmp_path / "venv")
    if pip_metadata:
        venv.plant("pip", pip_metadata)
    if pip_compile:
        write_script(venv.bin / "pip-compile", PIP_COMPILE)
    (tmp_path / "in.txt").write_text("numpy\n")
    (tmp_path / "pinned.txt").write_text("numpy==1.19.2\n")
    env = venv.env(STANDIN_COPY=tmp_path / "pinned.txt")
    env["PATH"] = os.pathsep.join(d for d in ("/usr/bin", "/bin") if not os.path.exists(f"{d}/pip-compile"))
    result = run_bytes(exe, ["resolve", "in.txt", "out.txt", *options], env, cwd=tmp_path)
    assert_one_clear_error(result, 1, *fragments)
    assert len(error_lines(result)) == 1, result.stderr
    assert not (tmp_path / "out.txt").exists()


def test_a_pip_without_report_is_one_clear_error(exe, tmp_path):
    # pip that says it succeeded but wrote no report.
    scripted = ResolveEnv(tmp_path / "scripted", pip_compile=False)
    result = resolve(exe, scripted, {})
    assert_one_clear_error(result, 1, "report.json")
    assert not (scripted.work / "out.txt").exists()


def test_killed_pip_install_is_one_clear_error(exe, tmp_path):
    env = ResolveEnv(tmp_path)
    pinned = tmp_path / "pinned.txt"
    pinned.write_text("numpy==1.19.2\n")
    result = resolve(exe, env, {"STANDIN_COPY": pinned, "FAKE_PIP": "kill"}, "--install")
    assert_one_clear_error(result, 1, "Error installing dependencies")
    assert "python -m pip was killed by signal 9 (Killed)" in error_lines(result)[0]
    assert (env.work / "out.txt").read_text() == "numpy==1.19.2\n"
