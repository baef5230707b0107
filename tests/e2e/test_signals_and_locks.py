"""`resolve` under real signals and beside another run: a signal sent to the
tool ends its resolver too and leaves nothing behind, and two runs on one
pinned file take turns."""
import os
import signal
import subprocess
import time

import pytest

from fakes import FakeVenv, ResolveEnv

UNCLEANED = "numpy==1.19.2\nsklearn==0.0\n"


def default_signals():
    # A test runner started in the background ignores SIGINT; the tool
    # rightly keeps an ignored signal ignored.
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, signal.SIG_DFL)


def start(exe, env, pinned="out.txt"):
    command = [str(exe), "resolve", "in.txt", pinned, "-i", "http://127.0.0.1:9/simple"]
    return subprocess.Popen(command, env=env, cwd=env["WORK"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, preexec_fn=default_signals)


def logged(log, event, count=1):
    """The PIDs of the first `count` resolvers that logged `event`, once they did."""
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        lines = log.read_text().splitlines() if log.exists() else []
        pids = [int(line.split()[1]) for line in lines if line.startswith(event + " ")]
        if len(pids) >= count:
            return pids
        time.sleep(0.05)
    raise AssertionError(f"no resolver logged {event!r}")


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:  # a zombie is not running
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def children(pid):
    with open(f"/proc/{pid}/task/{pid}/children") as listing:
        return listing.read().split()


def resolve_env(tmp_path, pip_compile, **extra):
    env = ResolveEnv(tmp_path, pip_compile=pip_compile)
    (tmp_path / "uncleaned.txt").write_text(UNCLEANED)
    (tmp_path / "tmp").mkdir()
    return env, env.env(WORK=env.work, STANDIN_LOG=tmp_path / "log", STANDIN_COPY=tmp_path / "uncleaned.txt",
                        TMPDIR=tmp_path / "tmp", FAKE_PIP="report", FAKE_PINS="numpy==1.19.2", **extra)


@pytest.mark.parametrize("signal_number, pip_compile", [
    (signal.SIGTERM, True), (signal.SIGINT, True), (signal.SIGHUP, False)])
def test_a_signal_ends_the_resolver_and_leaves_nothing_behind(exe, tmp_path, signal_number, pip_compile):
    env, variables = resolve_env(tmp_path, pip_compile, STANDIN_SLEEP=60)
    (env.work / "out.txt").write_text("previous\n")
    tool = start(exe, variables)
    [resolver] = logged(tmp_path / "log", "start")
    tool.send_signal(signal_number)
    _, err = tool.communicate(timeout=60)
    assert tool.returncode == 128 + signal_number, err
    assert not alive(resolver)
    assert err.decode().splitlines()[-1].startswith(f"Error: interrupted by signal {int(signal_number)} (")
    # Neither the resolver's uncleaned file nor a temporary file, lock or
    # report directory of the run.
    assert (env.work / "out.txt").read_text() == "previous\n"
    assert sorted(os.listdir(env.work)) == ["in.txt", "out.txt"]
    assert os.listdir(tmp_path / "tmp") == []


def test_a_signal_while_no_child_runs_ends_the_run(exe, tmp_path):
    # Writing into a FIFO waits for a reader; the run must not wait on.
    env, variables = resolve_env(tmp_path, pip_compile=False)
    os.mkfifo(env.work / "out.txt")
    tool = start(exe, variables)
    logged(tmp_path / "log", "start")
    while children(tool.pid):  # pip's resolver has ended
        time.sleep(0.05)
    time.sleep(0.2)  # and the tool waits for a reader of the FIFO
    tool.send_signal(signal.SIGTERM)
    _, err = tool.communicate(timeout=60)
    assert tool.returncode == 128 + signal.SIGTERM, err
    assert sorted(os.listdir(env.work)) == ["in.txt", "out.txt"]


def test_two_runs_on_one_pinned_file_take_turns(exe, tmp_path):
    env, variables = resolve_env(tmp_path, pip_compile=True, STANDIN_SLEEP=2)
    first = start(exe, variables)
    logged(tmp_path / "log", "start")
    # The second names the same file through a symlink.
    (env.work / "link.txt").symlink_to("out.txt")
    second = start(exe, variables, pinned="link.txt")
    results = [run.communicate(timeout=120) for run in (first, second)]
    assert [first.returncode, second.returncode] == [0, 0], results
    events = [line.split()[0] for line in (tmp_path / "log").read_text().splitlines()]
    assert events == ["start", "end", "start", "end"]
    assert results[1][1].decode().splitlines()[0].startswith("WARNING: Waiting for the lock on ")
    assert (env.work / "out.txt").read_text() == "numpy==1.19.2\n"
    assert sorted(os.listdir(env.work)) == ["in.txt", "link.txt", "out.txt"]


# Start-up code of the interpreter that the tool asks for its environment:
# a background helper that keeps the output pipes open after the interpreter
# has answered, or an interpreter that ignores SIGTERM. Each writes a PID to
# $MARK once it runs.
HOLDERS = {
    "a helper holds the output": "import os, subprocess; subprocess.Popen(['sh', '-c', 'echo $$ > \"$MARK\"; "
                                 "exec sleep 60'])\n",
    "the interpreter ignores the signal": "import os, signal, time; signal.signal(signal.SIGTERM, signal.SIG_IGN); "
                                          "open(os.environ['MARK'], 'w').write(str(os.getpid())); time.sleep(60)\n",
}


@pytest.mark.parametrize("case", HOLDERS)
def test_a_signal_ends_the_run_whatever_holds_the_interpreters_output(exe, tmp_path, case):
    venv = FakeVenv(tmp_path / "venv")
    (venv.site_packages / "holder.pth").write_text(HOLDERS[case])
    mark = tmp_path / "mark"
    tool = subprocess.Popen([str(exe), "groups", "pins.txt", "-g", "all:numpy"], env=venv.env(MARK=mark),
                            cwd=tmp_path, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            preexec_fn=default_signals)
    # Read whole: the shell truncates the file before it writes the number.
    while not (text := mark.read_text().strip() if mark.exists() else ""):
        time.sleep(0.05)
    holder = int(text)
    began = time.monotonic()
    tool.send_signal(signal.SIGTERM)
    try:
        _, err = tool.communicate(timeout=30)
    finally:
        if alive(holder):
            os.kill(holder, signal.SIGKILL)
    took = time.monotonic() - began
    lines = err.decode().splitlines()
    assert tool.returncode == 128 + signal.SIGTERM, lines
    if case == "a helper holds the output":
        assert took < 3, took
    else:  # killed after the grace period, said in one line
        assert 4 < took < 10, took
        assert any(line.endswith("python did not end within 5 s of signal 15: killed it") for line in lines), lines
