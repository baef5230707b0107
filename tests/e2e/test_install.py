"""Installing the tool: `pip install` of the checkout into a fresh venv,
`pip wheel`, `cmake --install`, and which environment the tool then reads."""
import csv
import io
import os
import re
import subprocess
import zipfile
from pathlib import Path

import pytest

from pykit import _record_line, build_wheel, make_venv, pip_environment

CHECKOUT = Path(__file__).resolve().parents[2]
VERSION = re.search(r"project\(\w+ VERSION (\S+)", (CHECKOUT / "CMakeLists.txt").read_text()).group(1)
TOOL = "quorl-python-dependencies"

# The first run on a checkout compiles the tool into build-wheel/ (minutes):
# `pytest -m "not wheel_build"` leaves this module out while working.
pytestmark = pytest.mark.wheel_build


def pip(python, *args):
    """Runs pip offline; the backend's build directory is kept between runs,
    so only the first run of a checkout compiles the tool."""
    env = pip_environment()
    env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    result = subprocess.run([str(python), "-m", "pip", *map(str, args), "--no-index"],
                            capture_output=True, text=True, env=env, cwd=CHECKOUT)
    assert result.returncode == 0, result.stdout + result.stderr


@pytest.fixture(scope="session")
def venvs(tmp_path_factory):
    """`product`: the tool pip-installed from the checkout, with alpha;
    `project/.venv`: a venv holding beta."""
    root = tmp_path_factory.mktemp("install")
    product = make_venv(root / "product")
    pip(product.python, "install", CHECKOUT)
    pip(product.python, "install", build_wheel(root / "wheels", "alpha", "1.0"))
    dot_venv = make_venv(root / "project" / ".venv")
    pip(dot_venv.python, "install", build_wheel(root / "wheels", "beta", "1.0"))
    (root / "project" / "sub" / "dir").mkdir(parents=True)
    return {"root": root, "product": product, "dot_venv": dot_venv}


def run_unactivated(program, *args, cwd, env_extra=None):
    """Runs `program` by path with no venv active and none on PATH."""
    env = pip_environment()
    for key in ("VIRTUAL_ENV", "CONDA_PREFIX", "PYTHONPATH"):
        env.pop(key, None)
    env.update({"PATH": "/usr/bin:/bin", "QUORL_LOG_LEVEL": "debug", **(env_extra or {})})
    return subprocess.run([str(program), *map(str, args)], capture_output=True, text=True, env=env, cwd=cwd,
                          stdin=subprocess.DEVNULL, timeout=600)


def probe(program, *args, cwd, env_extra=None):
    """Which of alpha (product venv) and beta (.venv) the tool sees."""
    result = run_unactivated(program, "groups", "pins.txt", "-g", "probe:alpha,beta", *args,
                             cwd=cwd, env_extra=env_extra)
    assert result.returncode == 0, result.stderr
    return [line[2:] for line in result.stdout.splitlines() if line.startswith("- ")], result.stderr


def test_pip_installed_tool_reads_its_own_venv_without_activation(venvs, tmp_path):
    product = venvs["product"]
    installed = product.bin / TOOL
    assert os.access(installed, os.X_OK)
    version = run_unactivated(installed, "--version", cwd=tmp_path)
    assert (version.returncode, version.stdout) == (0, f"{TOOL} {VERSION}\n")
    seen, log = probe(installed, cwd=tmp_path)
    assert seen == ["alpha"]
    assert f"DEBUG: Python interpreter {product.python} (the venv {product.path} holds this executable)" in log


def test_dot_venv_is_found_from_a_subdirectory(venvs, exe):
    seen, log = probe(exe, cwd=venvs["root"] / "project" / "sub" / "dir")
    assert seen == ["beta"]
    assert f"(.venv found in {venvs['root'] / 'project'})" in log


@pytest.mark.parametrize("program, args, variables, cwd, expected", [
    ("installed", ["--python", "DOT_VENV_PYTHON"], {"VIRTUAL_ENV": "PRODUCT"}, "root", "beta"),
    ("installed", [], {"VIRTUAL_ENV": "DOT_VENV"}, "root", "beta"),
    ("dev", [], {"CONDA_PREFIX": "PRODUCT"}, "project", "alpha"),
    ("installed", [], {}, "project", "alpha"),
], ids=["option-over-VIRTUAL_ENV", "VIRTUAL_ENV-over-own-venv", "CONDA_PREFIX-over-.venv",
        "own-venv-over-.venv"])
def test_first_of_two_candidates_wins(venvs, exe, program, args, variables, cwd, expected):
    names = {"PRODUCT": str(venvs["product"].path), "DOT_VENV": str(venvs["dot_venv"].path),
             "DOT_VENV_PYTHON": str(venvs["dot_venv"].python)}
    program = venvs["product"].bin / TOOL if program == "installed" else exe
    cwd = venvs["root"] / ("project/sub" if cwd == "project" else "")
    seen, _ = probe(program, *[names.get(a, a) for a in args], cwd=cwd,
                    env_extra={key: names[value] for key, value in variables.items()})
    assert seen == [expected]


@pytest.mark.parametrize("python, message", [
    ("absent", "--python absent: no such file"),
    (".", "--python . is not an executable Python interpreter"),
    ("/bin/false", "The Python interpreter /bin/false failed with exit status 1"),
])
def test_unusable_python_option_is_one_line_and_exit_1(exe, tmp_path, python, message):
    result = run_unactivated(exe, "groups", "pins.txt", "--python", python, cwd=tmp_path)
    lines = [line for line in result.stderr.splitlines() if not line.startswith("DEBUG: ")]
    assert (result.returncode, len(lines)) == (1, 1) and message in lines[0], result.stderr


def test_pip_wheel_has_a_platform_tag_and_a_correct_record(venvs, tmp_path):
    pip(venvs["product"].python, "wheel", "--no-deps", "-w", tmp_path, CHECKOUT)
    [wheel] = tmp_path.glob("*.whl")
    assert re.fullmatch(rf"quorl_python_dependencies-{VERSION}-py3-none-linux_\w+\.whl", wheel.name)
    with zipfile.ZipFile(wheel) as archive:
        dist_info = f"quorl_python_dependencies-{VERSION}.dist-info"
        rows = list(csv.reader(io.StringIO(archive.read(f"{dist_info}/RECORD").decode())))
        assert sorted(row[0] for row in rows) == sorted(archive.namelist())
        for row in rows:
            name = row[0]
            expected = f"{name},," if name.endswith("/RECORD") else _record_line(name, archive.read(name))
            assert ",".join(row) == expected
        script = archive.getinfo(f"quorl_python_dependencies-{VERSION}.data/scripts/{TOOL}")
        assert script.external_attr >> 16 & 0o777 == 0o755
        assert "Root-Is-Purelib: false" in archive.read(f"{dist_info}/WHEEL").decode()


def test_cmake_install_puts_the_tool_in_bin(exe, tmp_path):
    if not (exe.parent / "cmake_install.cmake").exists():
        pytest.skip(f"{exe} is not in a CMake build folder")
    subprocess.run(["cmake", "--install", str(exe.parent), "--prefix", str(tmp_path)],
                   check=True, capture_output=True)
    version = subprocess.run([str(tmp_path / "bin" / TOOL), "--version"], capture_output=True, text=True)
    assert (version.returncode, version.stdout) == (0, f"{TOOL} {VERSION}\n")
