"""`groups --format json|dot|mermaid` read back by their real consumers, `why`,
and control characters from installed metadata escaped on standard output."""
import json
import shutil
import subprocess
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

import sample_product
from pykit import canonical, installed_venv

JS = Path(__file__).parent / "js"

# A -g group name holds anything but ":" and ","; an extra name anything a
# marker string and a requirement's brackets take.
HOSTILE_GROUP = 'a"b [c] --> d; end \\N #quot; `x` <b>é'
HOSTILE_EXTRA = "q'-->end;#quot;<b>\\Né"
ESCAPE_EXTRA = "x\x1bcy"  # ESC c resets a terminal


@pytest.fixture(scope="module")
def hostile(tmp_path_factory):
    """The package whose extras are release groups, with extras named to break
    naive quoting and one holding ESC c."""
    scratch = tmp_path_factory.mktemp("hostile")
    venv = installed_venv(scratch, [
        ("corvaneth-quorl-tessaly", ["idna"], {ESCAPE_EXTRA: ["urllib3"], HOSTILE_EXTRA: ["urllib3"]}),
        ("idna", [], None), ("urllib3", [], None)], "corvaneth-quorl-tessaly")
    env = venv.env()
    env["QUORL_INSTALL_ROOT"] = str(sample_product.make_install_root(scratch / "root"))
    return env


@pytest.fixture(params=["product", "hostile"])
def case(request, installed_product):
    """(env, groups arguments): the sample product's release groups, or the hostile names."""
    if request.param == "product":
        return installed_product.env(), ["--release"]
    return request.getfixturevalue("hostile"), ["-g", f"{HOSTILE_GROUP}:idna", "-e", "corvaneth-quorl-tessaly"]


@pytest.fixture
def groups(run_tool, tmp_path):
    def run(env, *args):
        return run_tool(["groups", "resolved.txt", *args], env=env, cwd=tmp_path, check=0)
    return run


def listed(text):
    """{group title: [(package, depth) at first occurrence]} of a text listing."""
    out, title, lines = {}, None, text.splitlines()[1:]
    for line, following in zip(lines, lines[1:] + [""]):
        if following and set(following) == {"="}:
            title = line
            out[title] = []
        elif line.lstrip().startswith("- "):
            package = line.lstrip()[2:]
            if package not in [p for p, _ in out[title]]:
                out[title].append((package, (len(line) - len(line.lstrip())) // 2))
    return out


def test_json_holds_what_the_listing_shows_with_versions(groups, installed_product):
    env = installed_product.env()
    result = groups(env, "--release", "--format", "json", "--depth", "0")
    assert "--graph and --depth shape the text format only" in result.stderr
    document = json.loads(result.stdout)
    assert document["resolved_file"] == "resolved.txt"
    assert {g["name"]: [(p["package"], p["depth"]) for p in g["packages"]] for g in document["groups"]} == \
        listed(groups(env, "--release").stdout)
    versions = {canonical(name): version for name, version, _, _ in sample_product.PACKAGES}
    for group in document["groups"]:
        known = {p["package"] for p in group["packages"]}
        for package in group["packages"]:
            assert package["version"] == versions[package["name"]]
            assert package["package"] == package["name"] + (f"[{','.join(package['extras'])}]" if package["extras"] else "")
            assert set(package["dependencies"]) <= known
    full = document["groups"][0]
    assert full["name"] == "full-runtime" and full["roots"][0] == "corvaneth-quorl-tessaly[all]"


def test_json_keeps_hostile_names_exact(groups, hostile):
    document = json.loads(groups(hostile, "-g", f"{HOSTILE_GROUP}:idna", "-e", "corvaneth-quorl-tessaly",
                                 "--format", "json").stdout)
    assert [g["name"] for g in document["groups"]] == [HOSTILE_GROUP, ESCAPE_EXTRA, HOSTILE_EXTRA]


def test_text_format_is_the_listing(groups, installed_product):
    env = installed_product.env()
    assert groups(env, "--release", "--format", "text").stdout == groups(env, "--release").stdout


def node_count(groups, env, args):
    document = json.loads(groups(env, *args, "--format", "json").stdout)
    return sum(len(g["packages"]) for g in document["groups"]), [g["name"] for g in document["groups"]]


def shown(name):
    """How standard output shows a name: control characters escaped."""
    return name.replace("\x1b", "\\x1b")


@pytest.mark.skipif(not shutil.which("dot"), reason="Graphviz is not installed")
def test_dot_renders_with_graphviz(groups, case):
    env, args = case
    result = groups(env, *args, "--format", "dot")
    assert result.returncode == 0, result.stderr
    svg = subprocess.run(["dot", "-Tsvg"], input=result.stdout, capture_output=True, text=True, check=True).stdout
    root = ElementTree.fromstring(svg)
    ns = {"svg": "http://www.w3.org/2000/svg"}
    nodes = root.findall(".//svg:g[@class='node']", ns)
    texts = [t.text for t in root.iter("{http://www.w3.org/2000/svg}text")]
    count, names = node_count(groups, env, args)
    assert len(nodes) == count
    for name in names:
        assert shown(name) in texts


@pytest.mark.skipif(not (JS / "node_modules" / "mermaid").is_dir(), reason="tests/e2e/js/install.sh has not run")
def test_mermaid_parses_with_mermaid(groups, case):
    env, args = case
    result = groups(env, *args, "--format", "mermaid")
    assert result.returncode == 0, result.stderr
    parsed = subprocess.run(["node", JS / "parse_mermaid.mjs"], input=result.stdout, capture_output=True,
                            text=True, timeout=120)
    assert parsed.returncode == 0, parsed.stderr
    parsed = json.loads(parsed.stdout)
    count, names = node_count(groups, env, args)
    assert len(parsed["nodes"]) == count
    assert parsed["subgraphs"] == [shown(name) for name in names]


@pytest.mark.parametrize("package, group_args, expected", [
    # Several shortest chains, sorted; a group that does not reach it is left out.
    ("urllib3", ["-g", "core:corvaneth-quorl-core",
                 "-g", "both:corvaneth-quorl-tessaly[all],corvaneth-quorl-ravelin-interface",
                 "-g", "tessaly:corvaneth-quorl-tessaly[all]"],
     "both\n  corvaneth-quorl-ravelin-interface -> requests -> urllib3\n"
     "  corvaneth-quorl-tessaly[all] -> requests[socks] -> urllib3\n"
     "tessaly\n  corvaneth-quorl-tessaly[all] -> requests[socks] -> urllib3\n"),
    # numpy also comes through pandas, one step further: only the direct chain is shortest.
    ("NumPy", ["-g", "tessaly:corvaneth-quorl-tessaly[all]"], "tessaly\n  corvaneth-quorl-tessaly[all] -> numpy\n"),
    # Any extras of the package count; a root is its own chain.
    ("requests", ["-g", "r:requests[socks]"], "r\n  requests[socks]\n"),
])
def test_why_prints_the_shortest_chains_of_each_group(run_tool, installed_product, package, group_args, expected):
    result = run_tool(["why", installed_product.pinned, package, *group_args], env=installed_product.env(), check=0)
    assert (result.returncode, result.stdout) == (0, expected), result.stderr


@pytest.mark.parametrize("package, group_args, message", [
    ("pysocks", ["-g", "core:corvaneth-quorl-core"], "No group reaches pysocks"),
    ("nosuch", ["-g", "core:corvaneth-quorl-core"], "nosuch is not in the installed environment"),
    ("six", ["--release"], "six was excluded: no group reaches it"),  # the release's exclude file
])
def test_why_fails_in_one_line_when_no_group_reaches_it(run_tool, installed_product, package, group_args, message):
    result = run_tool(["why", installed_product.pinned, package, *group_args], env=installed_product.env(), check=1)
    assert result.stdout == ""
    assert result.stderr.splitlines()[-1] == f"Error: {message}"


@pytest.mark.parametrize("args", [["-e", "corvaneth-quorl-tessaly"], ["--release"],
                                  ["-e", "corvaneth-quorl-tessaly", "--graph"]])
def test_escape_sequences_from_metadata_are_escaped_on_standard_output(groups, hostile, args):
    result = groups(hostile, *args)
    assert result.returncode == 0, result.stderr
    assert "\x1b" not in result.stdout
    assert "corvaneth-quorl-tessaly[x\\x1bcy]\n" in result.stdout
    assert "x\\x1bcy\n=======\n" in result.stdout
