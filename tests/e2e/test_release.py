"""The release flow on the sample product: resolve with pip's resolver from a
local index, install with real pip, then groups and release."""
import json
import os
from pathlib import Path

import pytest

import sample_product
from pykit import LocalIndex, make_venv

EXPECTED = Path(__file__).parent / "expected"


class Product:
    def __init__(self, root, venv, index_url, work):
        self.root, self.venv, self.index_url, self.work = root, venv, index_url, work
        self.pinned = work / "resolved.txt"

    def env(self):
        env = self.venv.env()
        env["PIP_INDEX_URL"] = self.index_url
        env["QUORL_INSTALL_ROOT"] = str(self.root)
        return env


@pytest.fixture(scope="module")
def product(tmp_path_factory, exe):
    import subprocess
    scratch = tmp_path_factory.mktemp("product")
    wheels = sample_product.build_wheels(scratch / "wheels")
    root = sample_product.make_install_root(scratch / "root")
    venv = make_venv(scratch / "venv")
    work = scratch / "work"
    work.mkdir()
    with LocalIndex(wheels) as index:
        product = Product(root, venv, index.url, work)
        runtime = root / "runtime" / "requirements_quorl_runtime.txt"
        # A single positional value is the input; the output is resolved.txt here.
        product.resolve = subprocess.run(
            [str(exe), "resolve", str(runtime), "-i", index.url, "-d", "127.0.0.1", "--install"],
            env=product.env(), cwd=work, capture_output=True, text=True)
        yield product


def test_resolve_pins_and_installs_the_product(product):
    assert product.resolve.returncode == 0, product.resolve.stderr
    assert product.resolve.stdout == ("Generating resolved.txt from requirements_quorl_runtime.txt\n"
                                      "Installing dependencies...\n")
    pins = product.pinned.read_text().splitlines()
    names = [pin.split("==")[0].split("[")[0] for pin in pins]
    assert names == sorted(names) and len(pins) == len(sample_product.PACKAGES)
    # The extras asked of a package stay on its line, as pip-compile writes it.
    assert {"pyyaml==6.0.1", "corvaneth-quorl-tessaly[all]==2.1.0", "requests[socks]==2.31.0"} <= set(pins)
    site = product.venv.site_packages()
    assert list(site.glob("corvaneth_quorl_tessaly-2.1.0.dist-info"))


def test_release_json_byte_for_byte(product, run_tool):
    out = product.work / "release.json"
    out.write_text("an older release")
    result = run_tool(["release", product.pinned, out], env=product.env(), check=0)
    assert result.stdout == ""
    data = out.read_bytes()
    assert data == (EXPECTED / "release.json").read_bytes()
    assert not data.endswith(b"\n")
    assert list(json.loads(data))[:5] == ["full-runtime", "corvaneth-quorl-tessaly-all", "data-science",
                                          "full-glimwork-internal", "external-runtime"]


def test_groups_release_overrides_groups_and_exclude(product, run_tool, tmp_path):
    other_exclude = tmp_path / "exclude.txt"
    other_exclude.write_text("numpy\n")
    result = run_tool(["groups", product.pinned, "--release", "-g", "mine:numpy", "-x", other_exclude],
                      env=product.env(), check=0)
    assert result.stdout == (EXPECTED / "groups_release.txt").read_text()
    # The install root's exclude file removed six; the -x file was ignored.
    assert "six" not in result.stdout and "- numpy" in result.stdout


def test_groups_from_extras_and_their_duplicate_names(product, run_tool):
    result = run_tool(["groups", product.pinned, "-e", "corvaneth-quorl-tessaly", "--graph"],
                      env=product.env(), check=0)
    lines = result.stdout.splitlines()
    titles = [line for i, line in enumerate(lines[:-1]) if set(lines[i + 1]) == {"="}]
    assert titles == ["viz", "all", "legacy"]
    assert "corvaneth-quorl-tessaly[viz]" in lines
    clash = run_tool(["groups", product.pinned, "-g", "all:numpy", "-e", "corvaneth-quorl-tessaly"],
                     env=product.env(), check=2)
    assert clash.stdout == ""
    assert "Duplicate group names (might come from generated extra groups)" in clash.stderr


def test_release_exclude_file_removes_packages_from_groups_only(product, run_tool, tmp_path):
    exclude = tmp_path / "exclude.txt"
    exclude.write_text("requests\n")
    out = tmp_path / "release.json"
    run_tool(["release", product.pinned, out, "-x", exclude], env=product.env(), check=0)
    release = json.loads(out.read_text())
    assert not any(line.startswith("requests") for line in release["full-runtime"])
    assert release["requests"] == ["requests==2.31.0"]


def test_failed_release_keeps_the_previous_output(product, run_tool, tmp_path):
    out = tmp_path / "release.json"
    out.write_text("previous")
    unpinned = tmp_path / "pins.txt"
    unpinned.write_text(product.pinned.read_text() + "numpy>=1\n")
    result = run_tool(["release", unpinned, out], env=product.env(), check=1)
    line = len(sample_product.PACKAGES) + 1
    assert result.stderr.strip() == f"Error: {unpinned}, line {line}: Requirement numpy>=1 is not pinned"
    assert out.read_text() == "previous"

    missing_parent = tmp_path / "no" / "such" / "release.json"
    result = run_tool(["release", product.pinned, missing_parent], env=product.env(), check=1)
    assert str(missing_parent) in result.stderr
    assert len(result.stderr.strip().splitlines()) == 1
    assert sorted(os.listdir(tmp_path)) == ["pins.txt", "release.json"]
