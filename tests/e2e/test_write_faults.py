"""Faults while writing: the release JSON and the pinned file are replaced
atomically, so a write that fails (a full disk, a directory that cannot be
written, a path that cannot be a file) leaves the previous file whole and no
temporary file behind. What is replaced: the target of a symlink, with its
mode and owner; what is not a regular file is written in place."""
import os
import stat
import threading

import pytest

from fakes import (NOBODY, RELEASE_PINS, FakeVenv, ResolveEnv, assert_one_clear_error, can_drop_privileges,
                   fill, run_bytes, shared_tmp, tiny_tmpfs)

PREVIOUS = "previous release\n" * 100


@pytest.fixture(scope="module")
def product(tmp_path_factory):
    """An environment and a pinned file with which `release` succeeds."""
    root = tmp_path_factory.mktemp("faults")
    venv = FakeVenv(root / "venv")
    pins = root / "pins.txt"
    pins.write_text(RELEASE_PINS)
    return venv, pins


@pytest.fixture
def full_tmpfs():
    with tiny_tmpfs(64) as mount:
        if mount is None:
            pytest.skip("mounting a tmpfs is not permitted here")
        yield mount


def release(exe, product, out, user=None):
    venv, pins = product
    return run_bytes(exe, ["release", pins, out], venv.env(), cwd=pins.parent, user=user)


def test_release_on_a_full_disk_keeps_the_previous_file(exe, product, full_tmpfs):
    out = full_tmpfs / "release.json"
    out.write_text(PREVIOUS)
    fill(full_tmpfs)
    result = release(exe, product, out)
    assert_one_clear_error(result, 1, f"cannot write '{out}': No space left on device")
    assert out.read_text() == PREVIOUS
    assert sorted(os.listdir(full_tmpfs)) == ["filler", "release.json"]
    # With room again, the same run replaces it.
    (full_tmpfs / "filler").unlink()
    assert release(exe, product, out).returncode == 0
    assert out.read_text().startswith('{\n  "full-runtime": [')


@pytest.mark.parametrize("make_target", [
    lambda tmp: tmp / "a-file" / "release.json",  # parent is a file
    lambda tmp: tmp / "a-directory",               # target is a directory
])
def test_release_to_a_path_that_cannot_be_a_file_fails_cleanly(exe, product, tmp_path, make_target):
    (tmp_path / "a-file").write_text("keep\n")
    (tmp_path / "a-directory").mkdir()
    (tmp_path / "a-directory" / "inside").write_text("keep\n")
    out = make_target(tmp_path)
    assert_one_clear_error(release(exe, product, out), 1, str(out))
    assert (tmp_path / "a-file").read_text() == "keep\n"
    assert (tmp_path / "a-directory" / "inside").read_text() == "keep\n"
    assert sorted(os.listdir(tmp_path)) == ["a-directory", "a-file"]


@pytest.mark.skipif(not can_drop_privileges(), reason="needs root and setpriv to run as an unprivileged user")
@pytest.mark.parametrize("directory_mode, file_mode", [
    (0o755, 0o666),  # the file itself is writable, its directory is not
    (0o777, 0o644),  # the directory would allow the rename, the file is not writable
])
def test_release_the_user_may_not_write_keeps_the_previous_file(exe, directory_mode, file_mode):
    with shared_tmp() as shared:
        venv = FakeVenv(shared / "venv")
        pins = shared / "pins.txt"
        pins.write_text(RELEASE_PINS)
        locked = shared / "locked"
        locked.mkdir()
        locked.chmod(directory_mode)
        out = locked / "release.json"
        out.write_text(PREVIOUS)
        out.chmod(file_mode)
        result = release(exe, (venv, pins), out, user=NOBODY)
        assert_one_clear_error(result, 1, f"cannot write '{out}': Permission denied")
        assert out.read_text() == PREVIOUS
        assert os.listdir(locked) == ["release.json"]


def test_pinned_file_of_the_pip_fallback_on_a_full_disk(exe, tmp_path, full_tmpfs):
    env = ResolveEnv(tmp_path, pip_compile=False)
    out = full_tmpfs / "pinned.txt"
    out.write_text("numpy==1.0.0\n")
    fill(full_tmpfs)
    result = run_bytes(exe, ["resolve", "in.txt", out, "-i", "http://127.0.0.1:9/simple"],
                       env.env(FAKE_PIP="report", FAKE_PINS="numpy==1.19.2,scipy==1.5.4"), cwd=env.work)
    assert_one_clear_error(result, 1, f"cannot write '{out}': No space left on device")
    assert out.read_text() == "numpy==1.0.0\n"
    assert sorted(os.listdir(full_tmpfs)) == ["filler", "pinned.txt"]


def test_cleaning_on_a_full_disk_fails_and_leaves_the_resolved_file_whole(exe, tmp_path, full_tmpfs):
    # The resolver's file fits where the previous one was; the cleaned copy
    # does not fit beside it. The cleaning's line on standard output comes,
    # the resolver's file stays as it was written, and the run fails rather
    # than report success with sklearn still pinned.
    resolved = "".join(f"package-{i}==1.0.{i}\n" for i in range(400)) + "sklearn==0.0\n"
    source = tmp_path / "resolved.txt"
    source.write_text(resolved)
    env = ResolveEnv(tmp_path)
    out = full_tmpfs / "pinned.txt"
    out.write_text(resolved)
    fill(full_tmpfs)
    result = run_bytes(exe, ["resolve", "in.txt", out, "-i", "http://127.0.0.1:9/simple"],
                       env.env(STANDIN_COPY=source), cwd=env.work)
    assert_one_clear_error(result, 1, f"The resolved file {out} could not be cleaned: cannot write '{out}': "
                                      "No space left on device")
    assert result.stdout.decode().splitlines()[-1] == "Oops! something error"
    assert out.read_text() == resolved
    assert sorted(os.listdir(full_tmpfs)) == ["filler", "pinned.txt"]


# --- what a write replaces ------------------------------------------------

LONG_NAME = "r" * 245 + ".json"  # 250 bytes: any name the file system takes


def symlinked(tmp):
    (tmp / "real").mkdir()
    (tmp / "real" / "target.json").write_text(PREVIOUS)
    (tmp / "out.json").symlink_to("real/target.json")  # relative to the link's directory
    return tmp / "out.json", tmp / "real" / "target.json"


def long_named(tmp):
    (tmp / LONG_NAME).write_text(PREVIOUS)
    return tmp / LONG_NAME, tmp / LONG_NAME


@pytest.mark.parametrize("make_target", [symlinked, long_named])
def test_release_replaces_the_file_a_path_names(exe, product, tmp_path, make_target):
    out, real = make_target(tmp_path)
    before = {path: sorted(os.listdir(path)) for path in (tmp_path, real.parent)}
    result = release(exe, product, out)
    assert result.returncode == 0, result.stderr
    assert real.read_text().startswith('{\n  "full-runtime": [')
    # The link stays a link; nothing is left beside either.
    assert out.is_symlink() == (out != real)
    assert {path: sorted(os.listdir(path)) for path in before} == before


@pytest.mark.parametrize("pinned, real", [("link.txt", "real/pinned.txt"), ("p" * 250, "p" * 250)])
def test_resolve_cleans_the_file_a_path_names(exe, tmp_path, pinned, real):
    env = ResolveEnv(tmp_path)
    (env.work / "real").mkdir()
    (env.work / "link.txt").symlink_to("real/pinned.txt")
    source = tmp_path / "resolved.txt"
    source.write_text("numpy==1.19.2\nsklearn==0.0\n")
    result = run_bytes(exe, ["resolve", "in.txt", pinned, "-i", "http://127.0.0.1:9/simple"],
                       env.env(STANDIN_COPY=source), cwd=env.work)
    assert result.returncode == 0, result.stderr
    assert (env.work / real).read_text() == "numpy==1.19.2\n"
    assert (env.work / "link.txt").is_symlink()
    assert sorted(os.listdir(env.work)) == sorted({"in.txt", "link.txt", "real", real.split("/")[0]})
    assert os.listdir(env.work / "real") == (["pinned.txt"] if pinned == "link.txt" else [])


def test_release_keeps_mode_and_owner_of_the_replaced_file(exe, product, tmp_path):
    out = tmp_path / "release.json"
    out.write_text(PREVIOUS)
    out.chmod(0o640)
    owner = (NOBODY, NOBODY) if os.geteuid() == 0 else (os.getuid(), os.getgid())
    if os.geteuid() == 0:
        os.chown(out, *owner)
    assert release(exe, product, out).returncode == 0
    info = out.stat()
    assert (stat.S_IMODE(info.st_mode), info.st_uid, info.st_gid) == (0o640, *owner)
    assert out.read_text() != PREVIOUS


def private_null_device(tmp):
    path = tmp / "null"
    try:
        os.mknod(path, stat.S_IFCHR | 0o666, os.makedev(1, 3))
    except PermissionError:
        pytest.skip("creating a device node is not permitted here")
    return path


def test_release_writes_into_a_fifo_and_a_device_in_place(exe, product, tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    received = []
    reader = threading.Thread(target=lambda: received.append(fifo.read_bytes()))
    reader.start()
    assert release(exe, product, fifo).returncode == 0
    reader.join(timeout=60)
    assert received and received[0].startswith(b'{\n  "full-runtime": [')
    device = private_null_device(tmp_path)
    assert release(exe, product, device).returncode == 0
    assert stat.S_ISFIFO(fifo.stat().st_mode) and stat.S_ISCHR(device.stat().st_mode)
    assert sorted(os.listdir(tmp_path)) == ["fifo", "null"]
