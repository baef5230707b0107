import os
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).parent))


def pytest_configure(config):
    config.addinivalue_line("markers", "wheel_build: builds the tool's wheel from the checkout (slow on a cold checkout)")


def _exe():
    exe = os.environ.get("QUORL_EXE")
    if exe:
        return Path(exe).resolve()
    return Path(__file__).resolve().parents[2] / "build" / "quorl-python-dependencies"


@pytest.fixture(scope="session")
def exe():
    path = _exe()
    assert path.exists(), f"built executable not found at {path}; set QUORL_EXE"
    return path


@pytest.fixture(scope="session", autouse=True)
def session_cache(tmp_path_factory):
    """The developer's ~/.cache is never written, also by the environments
    that module and session fixtures take from os.environ before a test's
    own cache is set."""
    with pytest.MonkeyPatch.context() as patch:
        patch.setenv("XDG_CACHE_HOME", str(tmp_path_factory.mktemp("session-cache")))
        yield


@pytest.fixture(autouse=True)
def private_cache(session_cache, tmp_path_factory, monkeypatch):
    """Each test keeps the interpreter's answers in a cache of its own: no
    test sees another's."""
    monkeypatch.setenv("XDG_CACHE_HOME", str(tmp_path_factory.mktemp("cache")))


@pytest.fixture
def run_tool(exe):
    def run(args, env=None, cwd=None, check=None):
        result = subprocess.run([str(exe), *map(str, args)], capture_output=True, text=True,
                                env=env, cwd=cwd, stdin=subprocess.DEVNULL, timeout=600)
        if check is not None:
            assert result.returncode == check, (result.returncode, result.stdout, result.stderr)
        return result
    return run


@pytest.fixture(scope="session")
def installed_product(tmp_path_factory):
    """The sample product pip-installed from a local index, without a resolver
    run: for tests of what the tool reads from an installed product."""
    import sample_product
    return sample_product.InstalledProduct(tmp_path_factory.mktemp("installed-product"))
