"""Bills of materials (`--sbom DIR`) end to end: every document is checked
against the official CycloneDX 1.6 schema, offline, and against the tree that
`groups --graph` prints for the same group."""
import json
import re
from pathlib import Path

import jsonschema
import pytest

import sample_product
from pykit import build_wheel, canonical, installed_venv

CHECKOUT = Path(__file__).resolve().parents[2]
EPOCH = {"SOURCE_DATE_EPOCH": "1700000000"}


def schema_dir():
    # Beside the clone in CI; where the team keeps it otherwise.
    for candidate in (CHECKOUT.parent / "shared" / "cyclonedx", Path("/work/shared/cyclonedx")):
        if (candidate / "bom-1.6.schema.json").exists():
            return candidate
    pytest.fail("the CycloneDX 1.6 schema is missing: expected ../shared/cyclonedx beside the checkout")


@pytest.fixture(scope="module")
def validator():
    store = {}
    for name in ("bom-1.6.schema.json", "spdx.schema.json", "jsf-0.82.schema.json"):
        schema = json.loads((schema_dir() / name).read_text())
        store[name] = schema
        store[schema.get("$id", name)] = schema
    bom = store["bom-1.6.schema.json"]
    resolver = jsonschema.RefResolver.from_schema(bom, store=store)
    return jsonschema.Draft7Validator(bom, resolver=resolver, format_checker=jsonschema.FormatChecker())


def documents(directory, validator):
    """Every document written, validated, by file name."""
    found = {}
    for path in sorted(Path(directory).iterdir()):
        document = json.loads(path.read_text())
        validator.validate(document)
        found[path.name] = document
    return found


def graph_of(document):
    """(components, edges) by canonical name; the group's edges start at None."""
    names = {c["bom-ref"]: canonical(c["name"]) for c in document["components"]}
    group_ref = document["metadata"]["component"]["bom-ref"]
    refs = [entry["ref"] for entry in document["dependencies"]]
    assert sorted(refs) == sorted([group_ref, *names]), "one entry per component and one for the group"
    edges = {(names.get(entry["ref"]), names[target])
             for entry in document["dependencies"] for target in entry["dependsOn"]}
    return set(names.values()), edges


def graph_of_tree(tree_lines, roots):
    """(components, edges) of the trees `groups --graph` prints for one group,
    extras folded into their distribution."""
    nodes, edges, path = set(), {(None, canonical(r.split("[")[0])) for r in roots}, []
    for line in tree_lines:
        match = re.match(r"((?:│   |    )*)([├└]── )?(\S+)", line)
        depth = len(match.group(1)) // 4 + (1 if match.group(2) else 0)
        name = canonical(match.group(3).split("[")[0])
        path[depth:] = [name]
        nodes.add(name)
        if depth == 0:
            edges.add((None, name))
        elif path[depth - 1] != name:
            edges.add((path[depth - 1], name))
    return nodes, edges


def titled_sections(stdout):
    """Group name -> the lines printed under its title."""
    lines, sections = stdout.splitlines()[1:], {}
    for i, line in enumerate(lines):
        if i + 1 < len(lines) and lines[i + 1] and set(lines[i + 1]) == {"="} and len(lines[i + 1]) == len(line):
            current = sections.setdefault(line, [])
        elif not (line and set(line) == {"="}):
            current.append(line)
    return sections


@pytest.fixture
def product(installed_product, tmp_path):
    env = {**installed_product.env(), **EPOCH}
    return installed_product, env


def test_release_writes_a_valid_document_per_group_and_the_same_bytes_again(product, run_tool, validator, tmp_path):
    installed, env = product
    plain = run_tool(["release", installed.pinned, tmp_path / "plain.json"], env=env, check=0)
    first = run_tool(["release", installed.pinned, tmp_path / "a.json", "--sbom", tmp_path / "a"], env=env, check=0)
    run_tool(["release", installed.pinned, tmp_path / "b.json", "--sbom", tmp_path / "b"], env=env, check=0)
    assert (first.stdout, (tmp_path / "a.json").read_bytes()) == (plain.stdout, (tmp_path / "plain.json").read_bytes())
    written = documents(tmp_path / "a", validator)
    release_groups = json.loads((tmp_path / "a.json").read_text())
    assert set(written) == {f"{name}.cdx.json" for name in ("full-runtime", "corvaneth-quorl-tessaly-all",
                                                             "data-science", "full-glimwork-internal",
                                                             "external-runtime", "viz", "all", "legacy")}
    for name in written:
        assert (tmp_path / "b" / name).read_bytes() == (tmp_path / "a" / name).read_bytes()
    runtime = written["full-runtime.cdx.json"]
    assert runtime["metadata"]["timestamp"] == "2023-11-14T22:13:20Z"
    assert re.fullmatch(r"urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}",
                        runtime["serialNumber"])
    # What the release pins for the group, the document lists.
    pinned = {canonical(p.split("[")[0].split("==")[0]) + "==" + p.split("==")[1]
              for p in release_groups["full-runtime"]}
    assert {canonical(c["name"]) + "==" + c["version"] for c in runtime["components"]} == pinned
    by_name = {c["name"]: c for c in runtime["components"]}
    assert by_name["PyYAML"]["purl"] == "pkg:pypi/pyyaml@6.0.1"
    assert by_name["typing_extensions"]["bom-ref"] == "pkg:pypi/typing-extensions@4.9.0"
    # requests[socks] is folded into requests, which then requires PySocks.
    _, edges = graph_of(runtime)
    assert ("requests", "pysocks") in edges and ("requests", "requests") not in edges
    assert [p["value"] for p in runtime["metadata"]["component"]["properties"]] == \
        ["corvaneth-quorl-tessaly[all]", "corvaneth-quorl-glimwork-internal", "corvaneth-quorl-ravelin-interface"]


def test_groups_documents_equal_the_printed_trees(product, run_tool, validator, tmp_path):
    installed, env = product
    groups = {"runtime/all": ["corvaneth-quorl-tessaly[all]", "corvaneth-quorl-ravelin-interface"],
              "internal": ["corvaneth-quorl-glimwork-internal"]}
    args = [a for name, roots in groups.items() for a in ("-g", f"{name}:{','.join(roots)}")]
    plain = run_tool(["groups", installed.pinned, *args, "--graph"], env=env, check=0)
    result = run_tool(["groups", installed.pinned, *args, "--graph", "--sbom", tmp_path / "boms"], env=env, check=0)
    assert result.stdout == plain.stdout
    written = documents(tmp_path / "boms", validator)
    # The group name holds a "/": escaped, never a path.
    assert set(written) == {"runtime%2Fall.cdx.json", "internal.cdx.json"}
    trees = titled_sections(result.stdout)
    for name, roots in groups.items():
        document = written[name.replace("/", "%2F") + ".cdx.json"]
        assert graph_of(document) == graph_of_tree(trees[name], roots)


def test_licences_and_links_every_way(run_tool, validator, tmp_path):
    wheels = tmp_path / "wheels"
    long_text = "Permission is hereby granted, free of charge, to any person " * 5
    specs = {
        "Expressed": ["License-Expression: MIT OR Apache-2.0", "Classifier: License :: OSI Approved :: MIT License"],
        "Classified": ["Classifier: License :: OSI Approved :: BSD License",
                       "Classifier: License :: OSI Approved :: Apache Software License",
                       "Classifier: Programming Language :: Python :: 3"],
        "free_text": [f"License: {long_text}", "Summary: Free text only",
                      "Home-page: https://example.org/free", "Project-URL: Source, https://example.org/free/src",
                      "Project-URL: Bug Tracker, https://example.org/free/issues"],
        "Unlicensed": ["License: UNKNOWN"],
    }
    for name, headers in specs.items():
        build_wheel(wheels, name, "1.0", extra_headers=headers)
    build_wheel(wheels, "My_App", "2.0+local.1", requires=list(specs))
    venv = installed_venv(tmp_path, wheels, "My_App")
    pins = tmp_path / "pins.txt"
    pins.write_text("my-app==2.0+local.1\n" + "".join(f"{canonical(n)}==1.0\n" for n in specs))
    run_tool(["groups", pins, "-g", ".app:my-app", "--sbom", tmp_path / "boms"], env=venv.env(), check=0)
    document = documents(tmp_path / "boms", validator)["%2Eapp.cdx.json"]
    by_name = {c["name"]: c for c in document["components"]}
    assert by_name["My_App"]["purl"] == "pkg:pypi/my-app@2.0%2Blocal.1"
    assert by_name["Expressed"]["licenses"] == [{"expression": "MIT OR Apache-2.0"}]
    assert by_name["Classified"]["licenses"] == [{"license": {"id": "Apache-2.0"}}]
    free = by_name["free_text"]
    assert free["licenses"] == [{"license": {"name": long_text.strip()[:100] + "..."}}]
    assert free["description"] == "Free text only"
    assert free["externalReferences"] == [
        {"url": "https://example.org/free", "type": "website", "comment": "Home-page"},
        {"url": "https://example.org/free/src", "type": "vcs", "comment": "Source"},
        {"url": "https://example.org/free/issues", "type": "issue-tracker", "comment": "Bug Tracker"}]
    assert "licenses" not in by_name["Unlicensed"]


def test_strict_and_unpinned_packages_write_nothing(product, run_tool, tmp_path):
    installed, env = product
    pins = installed.pinned.read_text().splitlines()
    wrong = tmp_path / "wrong.txt"
    wrong.write_text("\n".join(p if not p.startswith("numpy==") else "numpy==1.0" for p in pins) + "\n")
    strict = run_tool(["release", wrong, tmp_path / "r.json", "--strict", "--sbom", tmp_path / "boms"], env=env)
    assert strict.returncode == 1 and "numpy" in strict.stderr
    unpinned = tmp_path / "unpinned.txt"
    unpinned.write_text("\n".join(p for p in pins if not p.startswith("idna==")) + "\n")
    commands = (["release", unpinned, tmp_path / "r.json"],
                ["groups", unpinned, "-g", "web:corvaneth-quorl-ravelin-interface"])
    for command in commands:
        result = run_tool([*command, "--sbom", tmp_path / "boms"], env=env)
        assert result.returncode == 1
        assert re.search(r"No pinned version for 'idna' \(group '[^']+'\) in .*unpinned\.txt", result.stderr)
    assert not (tmp_path / "boms").exists() and not (tmp_path / "r.json").exists()
