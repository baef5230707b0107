"""Cheap stand-ins for the robustness tests: venvs without pip, a scripted
pip-compile and pip, a tiny tmpfs, and running the tool as an unprivileged
user. Nothing here leaves the machine."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from pykit import SYSTEM_PYTHON, pip_environment

NOBODY = 65534
PYTHON_VERSION = f"python{sys.version_info.major}.{sys.version_info.minor}"

# Release roots of the product: a pinned file with these lets `release` run
# to its end in an environment where none of them is installed.
RELEASE_PINS = ("corvaneth-quorl-tessaly==2.1.0\ncorvaneth-quorl-glimwork==1.0\n"
                "corvaneth-quorl-glimwork-internal==1.0\ncorvaneth-quorl-ravelin-interface==1.0\n"
                "numpy==1.19.2\npandas==1.1.5\n")


class FakeVenv:
    """A venv made of pyvenv.cfg and a link to the system interpreter: no pip,
    nothing installed; distributions are planted by hand in site_packages."""

    def __init__(self, root):
        self.path = Path(root)
        self.bin = self.path / "bin"
        self.bin.mkdir(parents=True)
        (self.bin / "python").symlink_to(SYSTEM_PYTHON)
        (self.path / "pyvenv.cfg").write_text(
            f"home = {Path(SYSTEM_PYTHON).parent}\ninclude-system-site-packages = false\n")
        self.site_packages = self.path / "lib" / PYTHON_VERSION / "site-packages"
        self.site_packages.mkdir(parents=True)

    def plant(self, name, metadata):
        """A `<name>-1.0.dist-info` with the given METADATA bytes."""
        dist_info = self.site_packages / f"{name}-1.0.dist-info"
        dist_info.mkdir()
        (dist_info / "METADATA").write_bytes(metadata)
        return dist_info

    def env(self, **extra):
        env = pip_environment()
        for key in ("CONDA_PREFIX", "PYTHONPATH", "INDEX_USER", "INDEX_PASS", "QUORL_LOG_LEVEL"):
            env.pop(key, None)
        env["VIRTUAL_ENV"] = str(self.path)
        env["PATH"] = f"{self.bin}{os.pathsep}/usr/bin:/bin"
        env.update({key: str(value) for key, value in extra.items()})
        return env


# Appends "start PID" to STANDIN_LOG when set, sleeps STANDIN_SLEEP seconds,
# then "end PID": how tests see that a child runs, and when.
LOGGED_SLEEP = """
def logged(event):
    if os.environ.get("STANDIN_LOG"):
        with open(os.environ["STANDIN_LOG"], "a") as log:
            log.write(f"{event} {os.getpid()}\\n")
logged("start")
time.sleep(float(os.environ.get("STANDIN_SLEEP", "0")))
"""

# With hashes asked for (--generate-hashes, or generate-hashes in
# [tool.pip-tools] of .pip-tools.toml or pyproject.toml in the working
# directory or the input's), rewrites the output file's pins as pip-compile
# 7.x writes them: "name==v \" and indented "--hash=sha256:..." lines.
WITH_HASHES = """
def hashes_asked(args):
    import tomllib
    if "--generate-hashes" in args:
        return True
    for directory in (".", os.path.dirname(args[0]) or "."):
        for name in (".pip-tools.toml", "pyproject.toml"):
            path = os.path.join(directory, name)
            if os.path.exists(path):
                with open(path, "rb") as config:
                    options = tomllib.load(config).get("tool", {}).get("pip-tools", {})
                if name == ".pip-tools.toml" or options:
                    return bool(options.get("generate-hashes", options.get("generate_hashes")))
    return False

def write_hashes(path):
    import hashlib
    with open(path) as pinned:
        pins = [line.strip() for line in pinned if line.strip()]
    with open(path, "w") as out:
        for pin in pins:
            digests = [hashlib.sha256((pin + salt).encode()).hexdigest() for salt in ("whl", "sdist")]
            out.write(f"{pin} \\\\\\n" + " \\\\\\n".join(f"    --hash=sha256:{d}" for d in sorted(digests)) + "\\n")
"""

# pip-compile as the tool runs it: copies STANDIN_COPY to --output-file when
# set (after the logged sleep; with hashes where asked), then kills itself
# with STANDIN_SIGNAL or exits with STANDIN_STATUS.
PIP_COMPILE = f"""#!{SYSTEM_PYTHON}
import os, shutil, signal, sys, time
args = sys.argv[1:]
{LOGGED_SLEEP}
{WITH_HASHES}
if os.environ.get("STANDIN_COPY"):
    shutil.copyfile(os.environ["STANDIN_COPY"], args[args.index("--output-file") + 1])
    if hashes_asked(args):
        write_hashes(args[args.index("--output-file") + 1])
logged("end")
if os.environ.get("STANDIN_SIGNAL"):
    os.kill(os.getpid(), int(os.environ["STANDIN_SIGNAL"]))
sys.exit(int(os.environ.get("STANDIN_STATUS", "0")))
"""

# The interpreter of a resolve environment: `-m pip` is scripted (the logged
# sleep first; then FAKE_PIP = "kill": killed by SIGKILL; "report": pip's
# --report lists FAKE_PINS, given as name==version,...; "fail": an error
# naming each index URL it was given, status 1; "say": FAKE_PIP_SAYS repeated
# FAKE_PIP_TIMES times as one error line, status 1); anything else runs the
# real interpreter.
PYTHON = f"""#!/bin/sh
if [ "$1" = "-m" ] && [ "$2" = "pip" ]; then
  exec {SYSTEM_PYTHON} - "$@" <<'EOF'
import json, os, signal, sys, time
args = sys.argv[1:]
{LOGGED_SLEEP}
mode = os.environ.get("FAKE_PIP", "")
if mode == "kill":
    os.kill(os.getpid(), signal.SIGKILL)
if mode == "fail":
    urls = [args[i + 1] for i, arg in enumerate(args) if arg == "--extra-index-url"]
    print("Looking in indexes:", ", ".join(urls), file=sys.stderr)
    print("ERROR: No matching distribution found for numpy at", " ".join(urls), file=sys.stderr)
    sys.exit(1)
if mode == "say":
    sys.stderr.write(os.environ["FAKE_PIP_SAYS"] * int(os.environ.get("FAKE_PIP_TIMES", "1")) + "\\n")
    sys.exit(1)
if mode == "report" and "--report" in args:
    pins = [pin.split("==") for pin in os.environ.get("FAKE_PINS", "").split(",") if pin]
    report = {{"install": [{{"metadata": {{"name": n, "version": v}}}} for n, v in pins]}}
    with open(args[args.index("--report") + 1], "w") as out:
        json.dump(report, out)
    sys.exit(0)
sys.exit(int(os.environ.get("FAKE_PIP_STATUS", "0")))
EOF
fi
exec {SYSTEM_PYTHON} "$@"
"""


class ResolveEnv:
    """An environment for `resolve`: bin/python with a scripted pip, and
    pip-compile beside it unless `pip_compile` is false."""

    def __init__(self, root, pip_compile=True):
        self.root = Path(root)
        self.bin = self.root / "env" / "bin"
        self.bin.mkdir(parents=True)
        write_script(self.bin / "python", PYTHON)
        if pip_compile:
            write_script(self.bin / "pip-compile", PIP_COMPILE)
        self.work = self.root / "work"
        self.work.mkdir()
        (self.work / "in.txt").write_text("numpy\n")

    def env(self, **extra):
        env = pip_environment()
        for key in ("CONDA_PREFIX", "PYTHONPATH", "INDEX_USER", "INDEX_PASS", "QUORL_LOG_LEVEL"):
            env.pop(key, None)
        env["VIRTUAL_ENV"] = str(self.root / "env")
        # No pip-compile of the machine's own may answer instead.
        env["PATH"] = os.pathsep.join(d for d in ("/usr/bin", "/bin") if not Path(d, "pip-compile").exists())
        env.update({key: str(value) for key, value in extra.items()})
        return env


def write_script(path, text):
    path.write_text(text)
    path.chmod(0o755)


def run_bytes(exe, args, env, cwd=None, user=None, timeout=300):
    """Runs the tool with byte streams (its output may quote any bytes), as
    `user` (a uid) when given."""
    command = [os.fsencode(str(exe))] + [a if isinstance(a, bytes) else os.fsencode(str(a)) for a in args]
    if user is not None:
        command = [b"setpriv", f"--reuid={user}".encode(), f"--regid={user}".encode(), b"--clear-groups",
                   *command]
    return subprocess.run(command, capture_output=True, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                          timeout=timeout)


def error_lines(result):
    """Standard error as text lines; it must be valid UTF-8 whatever the input."""
    return result.stderr.decode("utf-8").splitlines()


def assert_one_clear_error(result, status, *fragments):
    """The run failed with `status`, and its last standard-error line is one
    printable "Error: " line holding every fragment."""
    assert result.returncode == status, (result.returncode, result.stdout, result.stderr)
    lines = error_lines(result)
    assert lines, result
    last = lines[-1]
    assert last.startswith("Error: ") or last.startswith("ERROR: "), lines
    assert last.isprintable(), last
    for fragment in fragments:
        assert fragment in last, (fragment, last)
    return last


def can_drop_privileges():
    return os.geteuid() == 0 and shutil.which("setpriv") is not None


@contextlib.contextmanager
def shared_tmp():
    """A temporary directory that an unprivileged user can enter."""
    path = Path(tempfile.mkdtemp(prefix="quorl-shared-"))
    path.chmod(0o755)
    try:
        yield path
    finally:
        for dirpath, dirnames, _ in os.walk(path):
            for name in dirnames:
                os.chmod(os.path.join(dirpath, name), 0o755)
        shutil.rmtree(path, ignore_errors=True)


@contextlib.contextmanager
def tiny_tmpfs(size_kib):
    """A tmpfs of `size_kib` KiB, or None where mounting is not permitted."""
    mount_point = Path(tempfile.mkdtemp(prefix="quorl-tmpfs-"))
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size_kib}k", "tmpfs", str(mount_point)],
                             capture_output=True).returncode == 0
    try:
        yield mount_point if mounted else None
    finally:
        if mounted:
            subprocess.run(["umount", str(mount_point)], check=True)
        mount_point.rmdir()


def fill(directory):
    """Fills the file system of `directory` up to its last byte."""
    with open(directory / "filler", "wb", buffering=0) as filler:
        for block in (b"\0" * 4096, b"\0"):
            try:
                while True:
                    filler.write(block)
            except OSError:
                pass


# --- pip-tools 7.x as each version writes a pinned file -------------------
#
# pip-tools cannot be installed here, so this stand-in is installed into a
# FakeVenv instead (pip_tools-<version>.dist-info, the piptools package for
# `python -m piptools compile`, and bin/pip-compile). It writes what that
# version of pip-compile writes for the resolution in $STANDIN_RESOLUTION
# (JSON: name -> {"version", "extras", "via"}), honouring the options the
# tool passes and those that change the file:
# - all 7.x: the header ("autogenerated by pip-compile with Python X.Y / by
#   the following command:"), "# via" annotations in the split style (one
#   source on the same comment line, several indented below), a line per
#   package sorted by canonical name with its extras sorted, pip, setuptools
#   and distribute commented out at the end under the "unsafe" note unless
#   --allow-unsafe, CRLF kept where the previous output file had it, and the
#   --strip-extras deprecation warning on standard error;
# - 7.3.0 (with the pip of its time, before 23.3) writes extras as the input
#   spelled them, and lists a package asked for with extras among its own
#   sources; 7.4.0 filtered that source out, and pip 23.3 canonicalised the
#   extras that 7.4.1 and later write.
# Arguments are recorded as JSON in $STANDIN_RECORD when it is set.
PIP_TOOLS_VERSIONS = ("7.3.0", "7.4.1", "7.5.3", "7.6.1")

PIP_TOOLS_MAIN = '''
import json, os, re, sys
VERSION = tuple(int(n) for n in "{version}".split("."))
UNSAFE = {{"pip", "setuptools", "distribute"}}
FLAGS = ("-q", "--no-annotate", "--no-header", "--no-emit-find-links", "--no-emit-index-url", "--no-emit-options",
         "--no-emit-trusted-host", "--strip-extras", "--no-strip-extras", "--allow-unsafe")

def canonical(name):
    return re.sub(r"[-_.]+", "-", name).lower()

def line_of(name, pin, strip):
    extras = pin.get("extras", []) if not strip else []
    extras = sorted(extras if VERSION < (7, 4) else {{canonical(e) for e in extras}})
    return name + ("[" + ",".join(extras) + "]" if extras else "") + "==" + pin["version"]

def annotation(name, pin):
    via = set(pin.get("via", []))
    if VERSION < (7, 4) and pin.get("extras"):
        via.add(name)
    via = sorted(via)
    if len(via) == 1:
        return ["    # via " + via[0]]
    return ["    # via"] + ["    #   " + source for source in via]

def main(args):
    flags = {{a for a in args if a in FLAGS}}
    out_path = args[args.index("--output-file") + 1]
    sources = [a for i, a in enumerate(args) if not a.startswith("-") and args[i - 1] not in (
        "--output-file", "--extra-index-url", "--trusted-host")]
    if not flags & {{"--strip-extras", "--no-strip-extras"}}:
        print("WARNING: --strip-extras is becoming the default in version 8.0.0. To silence this warning, either "
              "use --strip-extras to opt into the new default or use --no-strip-extras to retain the existing "
              "behavior.", file=sys.stderr)
    resolution = json.loads(os.environ["STANDIN_RESOLUTION"])
    lines = []
    if "--no-header" not in flags:
        lines += ["#", "# This file is autogenerated by pip-compile with Python %d.%d" % sys.version_info[:2],
                  "# by the following command:", "#", "#    pip-compile --output-file=" + out_path + " "
                  + " ".join(sources), "#"]
    unsafe_allowed = "--allow-unsafe" in flags
    unsafe = []
    for name in sorted(resolution, key=canonical):
        pin = resolution[name]
        if canonical(name) in UNSAFE and not unsafe_allowed:
            unsafe.append("# " + canonical(name))
            continue
        lines.append(line_of(canonical(name), pin, "--strip-extras" in flags))
        if "--no-annotate" not in flags:
            lines += annotation(canonical(name), pin)
    if unsafe:
        lines += ["", "# The following packages are considered to be unsafe in a requirements file:"] + unsafe
    newline = "\\n"
    if os.path.exists(out_path):
        with open(out_path, "rb") as previous:
            newline = "\\r\\n" if b"\\r\\n" in previous.read() else newline
    with open(out_path, "w", newline="") as out:
        out.write("".join(line + newline for line in lines))
    return 0

if __name__ == "__main__":
    args = sys.argv[1:]
    if os.environ.get("STANDIN_RECORD"):
        with open(os.environ["STANDIN_RECORD"], "w") as record:
            json.dump(args, record)
    if args[:1] == ["compile"]:
        args = args[1:]
    sys.exit(main(args))
'''


def install_pip_tools(venv, version, script=True):
    """Installs the pip-tools stand-in of `version` into a FakeVenv, with its
    bin/pip-compile unless `script` is false."""
    package = venv.site_packages / "piptools"
    package.mkdir()
    (package / "__init__.py").write_text("")
    (package / "__main__.py").write_text(PIP_TOOLS_MAIN.format(version=version))
    dist_info = venv.site_packages / f"pip_tools-{version}.dist-info"
    dist_info.mkdir()
    (dist_info / "METADATA").write_text(f"Metadata-Version: 2.1\nName: pip-tools\nVersion: {version}\n")
    if script:
        write_script(venv.bin / "pip-compile", f"#!{venv.bin / 'python'}\nimport runpy\n"
                                               "runpy.run_module('piptools', run_name='__main__')\n")
