"""Real Python parts for end-to-end tests: wheels, a local index, venvs.

Everything stays on the machine: wheels are written by the tests, served on
127.0.0.1, and installed by the real pip of a real venv.
"""
import base64
import hashlib
import http.server
import os
import re
import shutil
import subprocess
import sys
import threading
import zipfile
from pathlib import Path

SYSTEM_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def canonical(name):
    return re.sub(r"[-_.]+", "-", name).lower()


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def build_wheel(dest_dir, name, version, requires=(), extras=None, extra_headers=()):
    """Writes a minimal, installable wheel and returns its path.

    `requires` are Requires-Dist lines; `extras` maps an extra name to its
    requirement lines, written with an `extra == "<name>"` marker (joined with
    `and` to a marker the line already has).
    """
    dest_dir = Path(dest_dir)
    dest_dir.mkdir(parents=True, exist_ok=True)
    stem = re.sub(r"[-_.]+", "_", name)
    dist_info = f"{stem}-{version}.dist-info"
    headers = ["Metadata-Version: 2.1", f"Name: {name}", f"Version: {version}"]
    headers += [f"Requires-Dist: {line}" for line in requires]
    for extra, lines in (extras or {}).items():
        headers.append(f"Provides-Extra: {extra}")
        for line in lines:
            if ";" in line:
                req, marker = line.split(";", 1)
                headers.append(f'Requires-Dist: {req.strip()} ; ({marker.strip()}) and extra == "{extra}"')
            else:
                headers.append(f'Requires-Dist: {line} ; extra == "{extra}"')
    headers += list(extra_headers)
    files = {
        f"{stem}_pkg/__init__.py": f"VERSION = {version!r}\n".encode(),
        f"{dist_info}/METADATA": ("\n".join(headers) + "\n\nA package made by the tests.\n").encode(),
        f"{dist_info}/WHEEL": b"Wheel-Version: 1.0\nGenerator: pykit\nRoot-Is-Purelib: true\nTag: py3-none-any\n",
    }
    record = [_record_line(path, data) for path, data in files.items()]
    record.append(f"{dist_info}/RECORD,,")
    files[f"{dist_info}/RECORD"] = ("\n".join(record) + "\n").encode()
    wheel = dest_dir / f"{stem}-{version}-py3-none-any.whl"
    with zipfile.ZipFile(wheel, "w") as archive:
        for path, data in files.items():
            archive.writestr(path, data)
    return wheel


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    # "Basic <base64 of user:password>" when the index demands HTTP Basic auth
    expected_authorization = None

    def log_message(self, *args):
        pass

    def send_head(self):
        if self.expected_authorization and self.headers.get("Authorization") != self.expected_authorization:
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="test index"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        return super().send_head()


class LocalIndex:
    """A PEP 503 simple index of the wheels in `wheel_dir`, on 127.0.0.1;
    with `auth` = (user, password) every request must carry them (Basic)."""

    def __init__(self, wheel_dir, auth=None):
        self.wheel_dir = Path(wheel_dir)
        self.auth = auth
        self.root = self.wheel_dir / "_index"
        self._server = None
        self._thread = None
        self.url = None

    def _write_pages(self):
        if self.root.exists():
            shutil.rmtree(self.root)
        simple = self.root / "simple"
        by_project = {}
        for wheel in sorted(self.wheel_dir.glob("*.whl")):
            by_project.setdefault(canonical(wheel.name.split("-")[0]), []).append(wheel)
        simple.mkdir(parents=True)
        links = []
        for project, wheels in by_project.items():
            page = simple / project
            page.mkdir()
            anchors = []
            for wheel in wheels:
                shutil.copy(wheel, page / wheel.name)
                digest = hashlib.sha256(wheel.read_bytes()).hexdigest()
                anchors.append(f'<a href="{wheel.name}#sha256={digest}">{wheel.name}</a><br>')
            (page / "index.html").write_text("<html><body>" + "".join(anchors) + "</body></html>")
            links.append(f'<a href="{project}/">{project}</a><br>')
        (simple / "index.html").write_text("<html><body>" + "".join(links) + "</body></html>")

    def refresh(self):
        """Publishes wheels added to `wheel_dir` since the index started."""
        self._write_pages()

    def __enter__(self):
        self._write_pages()
        root = str(self.root)
        expected = None
        if self.auth:
            expected = "Basic " + base64.b64encode(":".join(self.auth).encode()).decode()

        class Handler(_QuietHandler):
            expected_authorization = expected

        def handler(*args, **kwargs):
            return Handler(*args, directory=root, **kwargs)

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        self.url = f"http://127.0.0.1:{self._server.server_address[1]}/simple/"
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()


def pip_environment(base=None):
    """An environment for pip that never reaches past loopback."""
    env = dict(base if base is not None else os.environ)
    for key in list(env):
        if key.startswith("PIP_"):
            del env[key]
    env.update({
        "PIP_CONFIG_FILE": os.devnull,
        "PIP_DISABLE_PIP_VERSION_CHECK": "1",
        "PIP_NO_CACHE_DIR": "1",
        "PIP_NO_INPUT": "1",
        "PIP_INDEX_URL": "http://127.0.0.1:9/simple/",
    })
    return env


class Venv:
    def __init__(self, path):
        self.path = Path(path)
        self.bin = self.path / "bin"
        self.python = self.bin / "python"

    def env(self, base=None):
        """Environment for running the tool against this venv."""
        env = pip_environment(base)
        env.pop("CONDA_PREFIX", None)
        env.pop("PYTHONPATH", None)
        env["VIRTUAL_ENV"] = str(self.path)
        env["PATH"] = f"{self.bin}{os.pathsep}{env.get('PATH', '')}"
        return env

    def pip_install(self, *args, index_url):
        env = pip_environment()
        env["PIP_INDEX_URL"] = index_url
        subprocess.run([str(self.python), "-m", "pip", "install", "--quiet", *map(str, args)],
                       check=True, env=env)

    def site_packages(self):
        found = sorted(self.path.glob("lib/python*/site-packages"))
        return found[0]


def build_wheels(dest_dir, specs, version="1.0"):
    """Builds one wheel per (name, requires, extras) and returns the directory."""
    for name, requires, extras in specs:
        build_wheel(dest_dir, name, version, requires=requires, extras=extras)
    return dest_dir


def record_argv(venv, log):
    """Makes the venv's interpreter append its arguments (NUL-separated, one
    run a line) to `log` before it runs, so a test sees what the tool's
    children were given on their command line."""
    wrapper = venv.bin / "python"
    wrapper.unlink()
    wrapper.write_text(f"""#!/bin/bash
printf '%s\\0' "$@" >> '{log}'; echo >> '{log}'
exec -a "$0" {SYSTEM_PYTHON} "$@"
""")
    wrapper.chmod(0o755)


def installed_venv(root, wheels, *requirements, no_deps=()):
    """A venv at root/venv holding `requirements` (then `no_deps`, installed
    without their dependencies), pip-installed from a local index of `wheels`:
    a directory of wheels, or (name, requires, extras) specs built at 1.0."""
    root = Path(root)
    if not isinstance(wheels, (str, Path)):
        wheels = build_wheels(root / "wheels", wheels)
    venv = make_venv(root / "venv")
    with LocalIndex(wheels) as index:
        if requirements:
            venv.pip_install(*requirements, index_url=index.url)
        if no_deps:
            venv.pip_install("--no-deps", *no_deps, index_url=index.url)
    return venv


def make_venv(path):
    """A real venv with pip (from the system's bundled wheel)."""
    subprocess.run([SYSTEM_PYTHON, "-m", "venv", str(path)], check=True)
    return Venv(path)
