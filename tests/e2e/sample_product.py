"""A small sample of the product: its packages, their dependencies and the
install root the tool expects. Shared by the release tests and the demo."""
from pathlib import Path

import pykit

# name, version, requirements, extras
PACKAGES = [
    ("corvaneth-quorl-core", "1.4.0", ["typing_extensions>=4"], {}),
    ("corvaneth-quorl-tessaly", "2.1.0", ["corvaneth-quorl-core", "numpy>=1.20"],
     {"viz": ["matplotlib-lite"],
      "all": ["pandas", "matplotlib-lite", "requests[socks]"],
      "legacy": ['six; python_version < "3"']}),
    ("corvaneth-quorl-glimwork", "1.0.0", ["corvaneth-quorl-core", "PyYAML"], {"all": ["requests"]}),
    ("corvaneth-quorl-glimwork-internal", "1.0.0", ["corvaneth-quorl-glimwork[all]"], {}),
    ("corvaneth-quorl-ravelin-interface", "0.9.0", ["requests>=2", "corvaneth-quorl-core"], {}),
    ("numpy", "1.26.4", [], {}),
    ("pandas", "2.1.0", ["numpy>=1.22", "python-dateutil>=2.8"], {}),
    ("python-dateutil", "2.8.2", ["six>=1.5"], {}),
    ("six", "1.16.0", [], {}),
    ("PyYAML", "6.0.1", [], {}),
    ("requests", "2.31.0", ["idna>=2.5", "urllib3>=1.21"], {"socks": ["PySocks>=1.5.6"]}),
    ("idna", "3.6", [], {}),
    ("urllib3", "2.1.0", [], {}),
    ("PySocks", "1.7.1", [], {}),
    ("matplotlib-lite", "0.1.0", ["numpy"], {}),
    ("typing_extensions", "4.9.0", [], {}),
]

RUNTIME_REQUIREMENTS = """\
corvaneth-quorl-tessaly[all]
corvaneth-quorl-glimwork[all]
corvaneth-quorl-glimwork-internal
corvaneth-quorl-ravelin-interface
"""

EXCLUDE = "six\n"


def build_wheels(wheel_dir):
    for name, version, requires, extras in PACKAGES:
        pykit.build_wheel(wheel_dir, name, version, requires=requires, extras=extras)
    return Path(wheel_dir)


def make_install_root(root):
    """The layout below the install root: runtime/ and setup/."""
    root = Path(root)
    (root / "runtime").mkdir(parents=True, exist_ok=True)
    (root / "setup").mkdir(parents=True, exist_ok=True)
    (root / "runtime" / "requirements_quorl_runtime.txt").write_text(RUNTIME_REQUIREMENTS)
    (root / "setup" / "exclude.txt").write_text(EXCLUDE)
    return root


class InstalledProduct:
    """The product installed in a venv, its install root, and `pinned`: a
    resolved file pinning every package at its installed version."""

    def __init__(self, scratch):
        scratch = Path(scratch)
        self.root = make_install_root(scratch / "root")
        requirements = RUNTIME_REQUIREMENTS.split()
        self.venv = pykit.installed_venv(scratch, build_wheels(scratch / "wheels"), *requirements)
        self.pinned = scratch / "resolved.txt"
        self.pinned.write_text("".join(f"{pykit.canonical(name)}=={version}\n"
                                       for name, version, _, _ in PACKAGES))

    def env(self):
        env = self.venv.env()
        env["QUORL_INSTALL_ROOT"] = str(self.root)
        return env
