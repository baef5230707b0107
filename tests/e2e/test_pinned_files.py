"""Resolved files as resolvers and people really write them: markers,
hashes, continuations and a byte-order mark in pinned files, pinned files in
read-only directories, and PEP 751 lock files."""
import hashlib
import json
import os

import pytest

import sample_product
from fakes import (NOBODY, RELEASE_PINS, FakeVenv, ResolveEnv, assert_one_clear_error, can_drop_privileges,
                   run_bytes, shared_tmp)
from pykit import canonical

PINS = [(canonical(name), version) for name, version, _, _ in sample_product.PACKAGES]


def digest(text):
    return hashlib.sha256(text.encode()).hexdigest()


def with_markers(pins):
    # As pip-compile writes the pins of an input with markers; the last pins
    # nothing on this platform.
    lines = [f'{n}=={v} ; python_version >= "3.6"' if n == "numpy" else f"{n}=={v}" for n, v in pins]
    return "\n".join(lines + ['six==1.16.0 ; os_name == "posix"', 'pywin32==306 ; sys_platform == "win32"']) + "\n"


def with_hashes(pins):
    # pip-compile --generate-hashes
    return "".join(f"{n}=={v} \\\n    --hash=sha256:{digest(n)} \\\n    --hash=sha256:{digest(v)}\n" for n, v in pins)


def with_bom(pins):
    return "\ufeff" + "".join(f"{n}=={v}\n" for n, v in pins)


@pytest.mark.parametrize("write", [with_markers, with_hashes, with_bom])
def test_pinned_files_as_resolvers_write_them_are_consistent(run_tool, installed_product, tmp_path, write):
    pinned = tmp_path / "pinned.txt"
    pinned.write_text(write(PINS), encoding="utf-8")
    env = installed_product.env()
    groups = run_tool(["groups", pinned, "-g", "g:corvaneth-quorl-tessaly[all]", "--strict"], env=env, check=0)
    assert groups.stderr == "" and "- numpy" in groups.stdout
    out = tmp_path / "release.json"
    release = run_tool(["release", pinned, out, "--strict"], env=env, check=0)
    assert release.stderr == ""
    assert json.loads(out.read_text())["pandas"] == ["pandas==2.1.0"]


def test_exclude_file_with_a_byte_order_mark_excludes_its_first_name(run_tool, installed_product, tmp_path):
    exclude = tmp_path / "exclude.txt"
    exclude.write_text("\ufeffsix\nidna \\\n\n", encoding="utf-8")
    result = run_tool(["groups", installed_product.pinned, "-g", "g:pandas,requests", "-x", exclude],
                      env=installed_product.env(), check=0)
    assert "- six" not in result.stdout and "- idna" not in result.stdout and "- urllib3" in result.stdout


def test_a_line_that_is_not_a_pin_is_named_with_file_and_line(exe, tmp_path):
    venv = FakeVenv(tmp_path / "venv")
    pins = tmp_path / "pins.txt"
    pins.write_text(RELEASE_PINS + "six @ file:///tmp/six-1.16.0-py3-none-any.whl\n")
    result = run_bytes(exe, ["release", pins, tmp_path / "out.json"], venv.env())
    line = RELEASE_PINS.count("\n") + 1
    assert_one_clear_error(result, 1, f"{pins}, line {line}: Requirement six @ file:///tmp/six-1.16.0", "not pinned")


RESOLVED = "numpy==1.19.2\nsklearn==0.0.post1\nscipy==1.5.4\n"


@pytest.mark.parametrize("config_file, config", [
    (".pip-tools.toml", "[tool.pip-tools]\ngenerate-hashes = true\n"),
    ("pyproject.toml", "[project]\nname = 'x'\n[tool.pip-tools]\ngenerate_hashes = true\n"),
])
def test_resolve_with_hashes_configured_cleans_whole_requirements(exe, tmp_path, config_file, config):
    env = ResolveEnv(tmp_path)
    (env.work / config_file).write_text(config)
    source = tmp_path / "resolved.txt"
    source.write_text(RESOLVED)
    result = run_bytes(exe, ["resolve", "in.txt", "pinned.txt", "-i", "http://127.0.0.1:9/simple"],
                       env.env(STANDIN_COPY=source), cwd=env.work)
    assert result.returncode == 0, result.stderr
    lines = (env.work / "pinned.txt").read_text().splitlines()
    assert [line for line in lines if not line.startswith(" ")] == ["numpy==1.19.2 \\", "scipy==1.5.4 \\"]
    assert len(lines) == 6 and all(line.startswith("    --hash=sha256:") for line in lines[1:3] + lines[4:])


@pytest.mark.skipif(not can_drop_privileges(), reason="needs root and setpriv to run as an unprivileged user")
def test_pinned_file_in_a_read_only_directory(exe):
    with shared_tmp() as shared:
        source = shared / "resolved.txt"
        source.write_text(RESOLVED)
        env = ResolveEnv(shared / "resolve")
        env.work.chmod(0o777)
        (env.work / "in.txt").chmod(0o644)
        pip_env = ResolveEnv(shared / "fallback", pip_compile=False)
        read_only = shared / "ro"
        read_only.mkdir()
        pinned = read_only / "pinned.txt"
        pinned.write_text("previous==1.0\n")
        pinned.chmod(0o666)
        read_only.chmod(0o555)
        # pip-compile writes the existing file in place; the cleaning follows it there.
        result = run_bytes(exe, ["resolve", "in.txt", pinned, "-i", "http://127.0.0.1:9/simple"],
                           env.env(STANDIN_COPY=source), cwd=env.work, user=NOBODY)
        assert result.returncode == 0, result.stderr
        assert pinned.read_text() == "numpy==1.19.2\nscipy==1.5.4\n"
        # The fallback writes a new file there: the directory refuses, and is named.
        result = run_bytes(exe, ["resolve", "in.txt", pinned, "-i", "http://127.0.0.1:9/simple"],
                           pip_env.env(FAKE_PIP="report", FAKE_PINS="numpy==2.0"), cwd=env.work, user=NOBODY)
        assert_one_clear_error(result, 1, f"cannot write '{pinned}'", f"directory '{read_only}'")
        assert pinned.read_text() == "numpy==1.19.2\nscipy==1.5.4\n"
        assert os.listdir(read_only) == ["pinned.txt"]


def lock_file(pins):
    """As `pip lock` writes one (a wheel table with hashes per package),
    with what uv adds: an entry per marker, tool tables."""
    text = 'lock-version = "1.0"\ncreated-by = "pip"\n'
    for name, version in pins:
        text += (f'\n[[packages]]\nname = "{name}"\nversion = "{version}"\n'
                 f'[[packages.wheels]]\nname = "{name}-{version}-py3-none-any.whl"\n'
                 f'url = "https://files.example/{name}-{version}-py3-none-any.whl"\n'
                 f'[packages.wheels.hashes]\nsha256 = "{digest(name)}"\n')
    text += ('\n[[packages]]\nname = "numpy"\nversion = "1.19.5"\nmarker = "python_full_version < \'3.7\'"\n'
             'index = "https://pypi.org/simple"\n[packages.tool.uv]\nsource = "registry"\n'
             '\n[tool.pip]\ncommand = ["lock", "."]\n')
    return text


def test_release_and_groups_from_a_lock_file(run_tool, installed_product, tmp_path):
    env = installed_product.env()
    lock = tmp_path / "pylock.release.toml"
    lock.write_text(lock_file(PINS))
    from_lock, from_pins = tmp_path / "lock.json", tmp_path / "pins.json"
    assert run_tool(["release", lock, from_lock, "--strict"], env=env, check=0).stderr == ""
    run_tool(["release", installed_product.pinned, from_pins], env=env, check=0)
    assert from_lock.read_bytes() == from_pins.read_bytes()
    groups = run_tool(["groups", lock, "-g", "g:pandas", "--strict"], env=env, check=0)
    assert groups.stdout.startswith("Generating groups from pylock.release.toml\n") and groups.stderr == ""
