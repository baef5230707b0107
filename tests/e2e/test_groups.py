"""`groups` end to end: the exact listing and trees printed for a real venv."""
import pytest

from pykit import installed_venv

WHEELS = [
    ("Flask", ["Werkzeug>=1", "Jinja2"], None),
    ("Jinja2", ["MarkupSafe>=0.9"], None),
    ("Werkzeug", ["MarkupSafe"], None),
    ("MarkupSafe", [], None),
    ("requests", ["idna", "urllib3<3"], {"socks": ["PySocks"]}),
    ("idna", [], None),
    ("urllib3", [], None),
    ("PySocks", [], None),
]


@pytest.fixture(scope="module")
def venv(tmp_path_factory):
    return installed_venv(tmp_path_factory.mktemp("groups"), WHEELS, "Flask", "requests[socks]")


@pytest.fixture
def groups(run_tool, venv, tmp_path):
    pins = tmp_path / "dir" / "pins.txt"
    pins.parent.mkdir()
    pins.write_text("".join(f"{name}==1.0\n" for name, _, _ in WHEELS))

    def run(*args, status=0):
        result = run_tool(["groups", pins, *args], env=venv.env(), cwd=tmp_path)
        assert result.returncode == status, result.stderr
        return result
    return run


WEB_LAYERS = """\
web
===
- flask
- requests
  - jinja2
  - werkzeug
  - idna
  - urllib3
    - markupsafe
    - markupsafe
"""

SOCKS_LAYERS = """\
socks
=====
- requests[socks]
  - idna
  - pysocks
  - urllib3
"""


def test_layered_listing_of_several_groups(groups):
    result = groups("-g", " web : flask , requests ", "-g", "socks:requests[socks]")
    assert result.stdout == "Generating groups from pins.txt\n" + WEB_LAYERS + SOCKS_LAYERS
    assert result.stderr == ""


def test_trees_with_extras_markers(groups):
    result = groups("-g", "web:flask,requests", "-g", "socks:requests[socks]", "--graph", "--depth", "0")
    assert result.stdout == """\
Generating groups from pins.txt
web
===
flask
├── jinja2
│   └── markupsafe
└── werkzeug
    └── markupsafe
requests
├── idna
└── urllib3
socks
=====
requests[socks]
├── idna
├── pysocks  => [socks]
└── urllib3
"""


# The listing has three layers of 2, 4 and 2 lines below its 2-line title.
# A depth d keeps d + 1 layers; below -1 that count is taken from the end.
@pytest.mark.parametrize("depth, lines", [("0", 4), ("1", 8), ("9", 10),
                                          ("-1", 2), ("-2", 8), ("-3", 4), ("-4", 2), ("-9", 2)])
def test_depth_cuts_layers(groups, depth, lines):
    result = groups("-g", "web:flask,requests", "--depth", depth)
    assert result.stdout.splitlines()[1:] == WEB_LAYERS.splitlines()[:lines]


def test_exclude_file_with_blank_lines_and_crlf(groups, tmp_path):
    exclude = tmp_path / "exclude.txt"
    exclude.write_bytes(b"markupsafe\r\n\r\n  idna  \r\n")
    result = groups("-g", "web:flask,requests", "-x", exclude)
    assert result.stdout == """\
Generating groups from pins.txt
web
===
- flask
- requests
  - jinja2
  - werkzeug
  - urllib3
"""


def test_no_groups_still_reads_the_environment(groups, run_tool, tmp_path):
    assert groups().stdout == "Generating groups from pins.txt\n"
    failed = run_tool(["groups", "pins.txt"], env={"PATH": str(tmp_path)})
    assert failed.returncode == 1
    assert "No Python interpreter found" in failed.stderr


def test_root_in_other_letter_case_warns_and_reaches_nothing(groups):
    result = groups("-g", "web:Flask")
    assert result.stdout == "Generating groups from pins.txt\nweb\n===\n"
    assert result.stderr == ("WARNING: Root Flask of group web is not in the installed environment; "
                             "the installed package is flask\n")


def test_unicode_group_name_is_underlined_per_character(groups):
    result = groups("-g", "données:idna")
    assert result.stdout.splitlines()[1:3] == ["données", "======="]


def test_path_ending_in_a_slash_is_named_by_its_last_component(run_tool, venv, tmp_path):
    result = run_tool(["groups", "sub/"], env=venv.env(), cwd=tmp_path, check=0)
    assert result.stdout == "Generating groups from sub\n"


def test_unicode_white_space_is_stripped_from_group_strings_and_exclude_lines(groups, tmp_path):
    exclude = tmp_path / "exclude.txt"
    exclude.write_text("\u3000markupsafe\u00a0\n", encoding="utf-8")
    result = groups("-g", "web\u00a0:\u2003flask\u202f", "-x", exclude)
    assert result.stdout == "Generating groups from pins.txt\nweb\n===\n- flask\n  - jinja2\n  - werkzeug\n"


def test_root_with_an_extra_the_package_does_not_declare_reaches_the_base_closure(groups):
    # flask's own requirements are followed to theirs, as installing flask[nosuch] would.
    result = groups("-g", "web:flask[nosuch]")
    assert result.stdout == ("Generating groups from pins.txt\nweb\n===\n- flask\n  - jinja2\n  - werkzeug\n"
                             "    - markupsafe\n    - markupsafe\n")


def test_empty_and_excluded_roots_are_named_for_what_they_are(groups, tmp_path):
    exclude = tmp_path / "exclude.txt"
    exclude.write_text("idna\n")
    result = groups("-g", "web:,idna,urllib3", "-x", exclude)
    assert result.stdout == "Generating groups from pins.txt\nweb\n===\n- urllib3\n"
    assert result.stderr == ("WARNING: An empty root of group web reaches nothing\n"
                             "WARNING: Root idna of group web was excluded and reaches nothing\n")
