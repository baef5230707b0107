"""Reading a real venv: wheels made here, installed by real pip from a local
index, read back by the tool as the dependency map that `groups` prints."""
import os

import pytest

from fakes import FakeVenv
from pykit import installed_venv

WHEELS = [
    # name, requires, extras
    ("Top.App", ["Foo_Bar>=1.0", "zope.thing[fast]", 'six_like ; python_version >= "3"',
                 'win-only ; sys_platform == "win32"', "Missing.Dep>=1"],
     {"test": ["pytest_fake", 'extra-tool ; python_version >= "3.8"'],
      "old": ['ancient ; python_version < "3.8"']}),
    ("Foo_Bar", ["six_like"], {"yaml": ["PyYAML_Lite"]}),
    ("zope.thing", [], {"fast": ["Speed.Lib"], "slow": ["slow-lib"]}),
    ("six_like", [], None),
    ("PyYAML_Lite", ["Yaml.Core"], None),
    ("Yaml.Core", [], None),
    ("Speed.Lib", [], None),
    ("pytest_fake", [], None),
    # A legacy line that pip installs without complaint, as Send2Trash 1.8.1b0 declares one.
    ("Legacy.Trash", ['sys-platform (=="darwin") ; extra == \'objc\'', "six_like"], {"native": ["Speed.Lib"]}),
]


@pytest.fixture(scope="module")
def venv(tmp_path_factory):
    # Missing.Dep stays uninstalled: the app goes in without its requirements.
    return installed_venv(tmp_path_factory.mktemp("reader"), WHEELS, "Foo_Bar[yaml]", "zope.thing[fast]",
                          "six_like", "pytest_fake", "Legacy.Trash[native]", no_deps=["Top.App"])


@pytest.fixture
def groups(run_tool, venv, tmp_path):
    """Runs `groups` against the venv from a directory with a stray distribution."""
    stray = tmp_path / "stray-1.0.dist-info"
    stray.mkdir()
    (stray / "METADATA").write_text("Metadata-Version: 2.1\nName: stray\nRequires-Dist: six_like\n")

    def run(*args):
        result = run_tool(["groups", "pins.txt", *args], env=venv.env(), cwd=tmp_path)
        assert result.returncode == 0, result.stderr
        return result
    return run


def tree(result, name):
    """The tree printed for group `name`."""
    lines = result.stdout.splitlines()
    start = lines.index(name) + 2
    end = start
    while end < len(lines) and not (end + 1 < len(lines) and set(lines[end + 1]) == {"="}):
        end += 1
    return "\n".join(lines[start:end])


def test_the_map_of_a_real_venv(groups):
    result = groups("-g", "app:top-app[test]", "-g", "yaml:foo_bar[yaml]", "-g", "old:top-app[old]", "--graph")
    assert tree(result, "app") == "\n".join([
        "top-app[test]",
        "├── extra-tool  => [test]",
        "├── foo-bar",
        "│   └── six-like",
        "├── missing-dep",
        "├── pytest-fake  => [test]",
        "├── six-like",
        "└── zope-thing[fast]",
        "    └── speed-lib  => [fast]",
    ])
    # The extra's PyYAML_Lite is the installed pyyaml-lite, with its own requirement.
    assert tree(result, "yaml") == "\n".join([
        "foo-bar[yaml]",
        "├── pyyaml-lite  => [yaml]",
        "│   └── yaml-core",
        "└── six-like",
    ])
    # The marker of "ancient" does not hold on this Python: the extra adds nothing.
    assert "ancient" not in tree(result, "old")
    assert "WARNING: Package missing-dep not found when fetching extras." in result.stderr
    assert "WARNING: Package extra-tool not found when fetching extras." not in result.stderr


def test_a_requirement_line_that_does_not_parse_is_skipped_and_the_others_count(groups, venv):
    result = groups("-g", "trash:legacy-trash[native]", "--graph")
    assert tree(result, "trash") == "\n".join([
        "legacy-trash[native]",
        "├── six-like",
        "└── speed-lib  => [native]",
    ])
    dist_info = venv.site_packages() / "Legacy_Trash-1.0.dist-info"
    warnings = [line for line in result.stderr.splitlines() if "Legacy.Trash" in line]
    assert warnings == [
        f"WARNING: Invalid requirement 'sys-platform (==\"darwin\") ; extra == 'objc'' of distribution "
        f"Legacy.Trash ({dist_info}): Expected a valid version after '==' at position 16; the line is skipped"]


def test_the_working_directory_is_not_part_of_the_environment(groups):
    # Read as installed, stray would be a root of its own with six-like below it.
    layers = groups("-g", "all:top-app,stray").stdout.splitlines()
    assert "- top-app" in layers
    assert "- stray" not in layers


def test_groups_from_the_extras_of_an_installed_package(groups):
    lines = groups("-e", "top_app").stdout.splitlines()
    titles = [line for i, line in enumerate(lines[:-1]) if set(lines[i + 1]) == {"="}]
    assert titles == ["test", "old"]


@pytest.mark.parametrize("script, error", [
    ("echo 'Fatal Python error: init' >&2\nexit 1",
     "failed with exit status 1 while reading its environment: Fatal Python error: init"),
    ("echo 'Python 2.7'", "gave an unexpected answer: 'Python 2.7\\n'"),
])
def test_a_broken_interpreter_is_one_clear_error(run_tool, venv, tmp_path, script, error):
    broken = tmp_path / "venv"
    (broken / "bin").mkdir(parents=True)
    (broken / "bin" / "python").write_text(f"#!/bin/sh\n{script}\n")
    (broken / "bin" / "python").chmod(0o755)
    env = venv.env()
    env["VIRTUAL_ENV"] = str(broken)
    result = run_tool(["groups", "pins.txt", "-g", "a:b"], env=env)
    assert result.returncode == 1
    assert result.stdout == ""
    assert result.stderr.strip().splitlines() == [f"Error: The Python interpreter {broken}/bin/python {error}"]


def test_an_entry_whose_metadata_names_another_distribution_is_read_as_a_full_read_reads_it(run_tool, tmp_path):
    # Installers name the entry after the distribution; a hand-made or renamed one may not.
    venv = FakeVenv(tmp_path / "venv")
    venv.plant("top", b"Name: top\nRequires-Dist: alpha\nRequires-Dist: beta\n")
    venv.plant("alpha", b"Name: Beta\nRequires-Dist: x\n")
    venv.plant("x", b"Name: x\n")
    result = run_tool(["groups", "pins.txt", "-g", "one:top", "-g", "two:beta"],
                      env=venv.env(QUORL_LOG_LEVEL="debug"), cwd=tmp_path, check=0)
    # As reading every distribution gives it: alpha is not installed, and beta lies in alpha's entry.
    assert result.stdout == ("Generating groups from pins.txt\none\n===\n- top\n  - alpha\n  - beta\n    - x\n"
                             "two\n===\n- beta\n  - x\n")
    assert "reading every distribution" in result.stderr


def test_the_interpreters_answer_is_kept_until_what_it_was_read_from_changes(run_tool, tmp_path):
    venv = FakeVenv(tmp_path / "venv")
    venv.plant("top", b"Name: top\nRequires-Dist: more\n")

    def groups():
        return run_tool(["groups", "pins.txt", "-g", "one:top"], env=venv.env(QUORL_LOG_LEVEL="debug"),
                        cwd=tmp_path, check=0)
    first, second = groups(), groups()
    assert "from the cache" not in first.stderr
    assert "from the cache" in second.stderr
    assert second.stdout == first.stdout == "Generating groups from pins.txt\none\n===\n- top\n  - more\n"
    # A .pth file added since puts a directory holding `more`, which needs `deep`, on the search path.
    for name in ("more", "deep"):
        (tmp_path / "elsewhere" / f"{name}-1.0.dist-info").mkdir(parents=True)
    (tmp_path / "elsewhere" / "more-1.0.dist-info" / "METADATA").write_text("Name: more\nRequires-Dist: deep\n")
    (tmp_path / "elsewhere" / "deep-1.0.dist-info" / "METADATA").write_text("Name: deep\n")
    (venv.site_packages / "elsewhere.pth").write_text(f"{tmp_path / 'elsewhere'}\n")
    third = groups()
    assert third.stdout == "Generating groups from pins.txt\none\n===\n- top\n  - more\n    - deep\n"


@pytest.mark.parametrize("owner", ["this user", "another user"])
def test_a_cache_directory_not_this_users_alone_is_not_used(run_tool, tmp_path, owner):
    venv = FakeVenv(tmp_path / "venv")
    venv.plant("top", b"Name: top\n")
    cache = tmp_path / "cache" / "quorl-python-dependencies"
    cache.mkdir(parents=True)
    if owner == "this user":
        cache.chmod(0o777)
    elif os.geteuid() == 0:
        os.chown(cache, 65534, 65534)
    else:
        pytest.skip("only root can give a directory away")
    for _ in range(2):
        result = run_tool(["groups", "pins.txt", "-g", "one:top"],
                          env=venv.env(QUORL_LOG_LEVEL="debug", XDG_CACHE_HOME=tmp_path / "cache"), cwd=tmp_path, check=0)
        assert "is not this user's alone" in result.stderr
    assert list(cache.iterdir()) == []
