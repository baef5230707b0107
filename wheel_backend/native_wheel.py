"""Build backend (PEP 517) that turns the CMake project into a platform wheel.

Standard library only and no build requirements, so `pip install --no-index`
of a checkout works offline. The wheel carries the native executable as a
script (`<name>-<version>.data/scripts/`), which pip installs into the
environment's bin/ with its executable bit; nothing goes into site-packages.

The CMake build directory is kept between builds (default: build-wheel/ in the
source tree, or `-C build-dir=DIR`), so a reinstall recompiles only what
changed. Parallelism follows CMAKE_BUILD_PARALLEL_LEVEL.
"""
import base64
import csv
import hashlib
import io
import os
import re
import shutil
import subprocess
import sysconfig
import tempfile
import zipfile
from pathlib import Path

__all__ = ["build_wheel", "get_requires_for_build_wheel", "prepare_metadata_for_build_wheel"]

# A fixed timestamp for every member: two builds of one tree give the same
# archive.
_ZIP_DATE = (1980, 1, 1, 0, 0, 0)


def _source_dir():
    # PEP 517 runs every hook in the root of the source tree.
    return Path.cwd()


def _project_table(source):
    text = (source / "pyproject.toml").read_text(encoding="utf-8")
    try:
        import tomllib
    except ImportError:  # Python < 3.11: the few plain strings of [project]
        table, inside = {}, False
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("["):
                inside = line == "[project]"
            elif inside and (match := re.fullmatch(r'([\w-]+)\s*=\s*"([^"\\]*)"', line)):
                table[match.group(1)] = match.group(2)
        return table
    return tomllib.loads(text).get("project", {})


def _version(source):
    """The version of the CMake project() call: the one --version prints."""
    cmake = (source / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"\bproject\s*\(\s*\w+\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)", cmake)
    if not match:
        raise RuntimeError("CMakeLists.txt: no project(... VERSION X.Y.Z ...) to take the version from")
    return match.group(1)


class _Project:
    def __init__(self, source):
        table = _project_table(source)
        self.name = table["name"]
        self.summary = table.get("description", "")
        self.version = _version(source)
        # The file-name form of the name (PEP 427 escaping).
        self.stem = re.sub(r"[-_.]+", "_", self.name).lower()
        self.tag = "py3-none-" + re.sub(r"[-.]", "_", sysconfig.get_platform())
        self.dist_info = f"{self.stem}-{self.version}.dist-info"
        self.scripts = f"{self.stem}-{self.version}.data/scripts"

    def metadata(self):
        lines = ["Metadata-Version: 2.1", f"Name: {self.name}", f"Version: {self.version}"]
        if self.summary:
            lines.append(f"Summary: {self.summary}")
        return ("\n".join(lines) + "\n").encode()

    def wheel(self):
        return (f"Wheel-Version: 1.0\nGenerator: native_wheel {self.version}\n"
                f"Root-Is-Purelib: false\nTag: {self.tag}\n").encode()

    def wheel_name(self):
        return f"{self.stem}-{self.version}-{self.tag}.whl"


def _run(command):
    try:
        subprocess.run(command, check=True)
    except FileNotFoundError:
        raise RuntimeError(f"{command[0]} not found on PATH: building the wheel needs CMake (and Ninja)") from None
    except subprocess.CalledProcessError as failure:
        raise RuntimeError(f"{' '.join(command)} failed with exit status {failure.returncode}") from None


def _build(source, build_dir, staging):
    """Configures (once), builds and installs the executable into `staging`."""
    configure = ["cmake", "-S", str(source), "-B", str(build_dir),
                 "-DCMAKE_BUILD_TYPE=Release", "-DQUORL_TESTS=OFF"]
    # The generator of an existing build directory cannot change.
    if not (build_dir / "CMakeCache.txt").exists() and shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    _run(configure)
    _run(["cmake", "--build", str(build_dir)])
    _run(["cmake", "--install", str(build_dir), "--prefix", str(staging), "--strip"])
    programs = sorted(path for path in (staging / "bin").iterdir() if path.is_file())
    if not programs:
        raise RuntimeError(f"cmake --install put no program into {staging / 'bin'}")
    return programs


def _zip_info(name, mode):
    info = zipfile.ZipInfo(name, date_time=_ZIP_DATE)
    info.external_attr = (0o100000 | mode) << 16  # a regular file with `mode`
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def _record_entry(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return [name, f"sha256={digest}", str(len(data))]


def _write_wheel(path, dist_info, entries):
    """Writes (name, data, mode) entries and their RECORD to `path`.

    The archive is written under a temporary name and renamed, so a failed
    build leaves no truncated wheel where pip would pick it up.
    """
    record_name = f"{dist_info}/RECORD"
    record = io.StringIO()
    writer = csv.writer(record, lineterminator="\n")
    for name, data, _ in entries:
        writer.writerow(_record_entry(name, data))
    writer.writerow([record_name, "", ""])
    entries = entries + [(record_name, record.getvalue().encode(), 0o644)]
    handle, partial = tempfile.mkstemp(dir=path.parent, prefix=".partial-", suffix=".whl")
    try:
        with os.fdopen(handle, "wb") as stream, zipfile.ZipFile(stream, "w") as archive:
            for name, data, mode in entries:
                archive.writestr(_zip_info(name, mode), data)
        os.chmod(partial, 0o644)
        os.replace(partial, path)
    except BaseException:
        os.unlink(partial)
        raise


def get_requires_for_build_wheel(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    project = _Project(_source_dir())
    target = Path(metadata_directory) / project.dist_info
    target.mkdir(parents=True, exist_ok=True)
    (target / "METADATA").write_bytes(project.metadata())
    (target / "WHEEL").write_bytes(project.wheel())
    return project.dist_info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    source = _source_dir()
    project = _Project(source)
    build_dir = Path((config_settings or {}).get("build-dir") or source / "build-wheel").resolve()
    with tempfile.TemporaryDirectory(prefix="wheel-staging-") as staging:
        programs = _build(source, build_dir, Path(staging))
        entries = [(f"{project.scripts}/{program.name}", program.read_bytes(), 0o755) for program in programs]
    entries += [(f"{project.dist_info}/METADATA", project.metadata(), 0o644),
                (f"{project.dist_info}/WHEEL", project.wheel(), 0o644)]
    wheel_directory = Path(wheel_directory)
    wheel_directory.mkdir(parents=True, exist_ok=True)
    _write_wheel(wheel_directory / project.wheel_name(), project.dist_info, entries)
    return project.wheel_name()
