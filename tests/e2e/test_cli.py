"""The command line: help texts, usage errors, group strings, duplicate names."""
import pytest

HELP_TEXTS = {
    "resolve": ["Resolves the complete list of dependencies from a `requirements.in` file",
                "containing only root-level dependencies."],
    "groups": ["Groups installed requirements in several groups given as sets of",
               "root-requirements.",
               "Provides several options to help visualise and debug the algorithm generating groups",
               "Requirement file pinning all possible dependencies, output of the `resolve` command.",
               "Named group of root requirements, following the format '<name>:<req1>,<req2>,<...>'",
               "List of packages to extract groups from, using the name of their extra-requirements.",
               "Uses the groups configured for release. Overrides the -g, -e and -x options.",
               "Path to a text file containing the name of packages to exclude when generating groups.",
               "--graph", "-d,--depth"],
    "release": ["Runs the group process in release mode, generating the same groups expected in a given release.",
                "-x,--exclude"],
}


def squash(text):
    return " ".join(text.split())


def test_help_of_the_app_and_of_each_command(run_tool):
    top = run_tool(["--help"], check=0)
    for command in HELP_TEXTS:
        assert command in top.stdout
    for command, texts in HELP_TEXTS.items():
        shown = squash(run_tool([command, "--help"], check=0).stdout)
        for text in texts:
            assert squash(text) in shown, (command, text)
    resolve = run_tool(["resolve", "--help"], check=0).stdout
    for option in ("-i,--index", "-d,--trusted-domain", "--install", "--no-install"):
        assert option in resolve


@pytest.mark.parametrize("args", [
    [],
    ["groups"],
    ["release", "pins.txt"],
    ["groups", "pins.txt", "--depth", "two"],
    ["groups", "pins.txt", "--unknown"],
    ["frobnicate"],
])
def test_usage_errors_exit_2_with_one_message(run_tool, args):
    result = run_tool(args, check=2)
    assert result.stdout == ""
    assert result.stderr.startswith("Error: ")


@pytest.mark.parametrize("value, message", [
    ("web", "not enough values to unpack (expected 2, got 1)"),
    ("a:b:c", "too many values to unpack (expected 2)"),
])
def test_malformed_group_string_exits_1(run_tool, value, message):
    result = run_tool(["groups", "pins.txt", "-g", value], check=1)
    assert result.stdout == ""
    assert result.stderr.strip() == f"Error: {message}"


def test_malformed_group_string_fails_even_with_release(run_tool):
    result = run_tool(["groups", "pins.txt", "--release", "-g", "web"], check=1)
    assert "not enough values to unpack (expected 2, got 1)" in result.stderr


def test_duplicate_group_names_exit_2_before_anything_else(run_tool, tmp_path):
    # No interpreter is reachable: the check must come before the environment is read.
    env = {"PATH": str(tmp_path)}
    result = run_tool(["groups", "pins.txt", "-g", "web:flask", "-g", " web : requests"], env=env, check=2)
    assert result.stdout == ""
    assert "Duplicate group names (might come from generated extra groups)" in result.stderr


def test_underscore_group_name_warns_with_the_kebab_case_address(run_tool, tmp_path):
    result = run_tool(["groups", "pins.txt", "-g", "data_science:numpy", "-g", "data_science:pandas"],
                      env={"PATH": str(tmp_path)}, check=2)
    assert ("Extra data_science should be using kebab-case, see https://peps.python.org/pep-0685/"
            in result.stderr)
