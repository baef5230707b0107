"""Generates realistic Python environments for the benchmarks.

    python3 bench/generate_env.py OUT_DIR N      # a venv with N distributions
    python3 bench/generate_env.py OUT_DIR diamonds   # a chain of 20 diamonds

Each distribution is a real *.dist-info directory in the venv's site-packages:
mixed-case, underscore and dot names; about four requirements each on a DAG
with hubs and long chains; about 15% with extras; environment markers;
requirements with extras; a few requirements that are not installed; and a
METADATA description body of a few KB, as real packages have. The venv has no
pip, so only the generated distributions are read. Deterministic for a given N.
"""
import random
import re
import subprocess
import sys
from pathlib import Path

HUBS = 25
CHAIN_EVERY = 40
DESCRIPTION = ("This distribution was generated for benchmarking. " * 8 + "\n") * 10  # ~4 KB
# The product's own packages come first, so that `release` computes real groups.
PRODUCT = ["corvaneth-quorl-tessaly", "corvaneth-quorl-glimwork", "corvaneth-quorl-glimwork-internal",
           "corvaneth-quorl-ravelin-interface", "numpy", "pandas"]


def display_name(i):
    if i < len(PRODUCT):
        return PRODUCT[i]
    style = i % 5
    if style == 0:
        return f"pkg-{i}"
    if style == 1:
        return f"Pkg_Lib{i}"
    if style == 2:
        return f"pkg.{i}.core"
    if style == 3:
        return f"PyTool-{i}"
    return f"zz_Mixed.Name-{i}"


def canonical(name):
    return re.sub(r"[-_.]+", "-", name).lower()


def stem(name):
    return "".join(c if c.isalnum() else "_" for c in name)


def make_venv(path):
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", str(path)], check=True)
    return sorted(Path(path).glob("lib/python*/site-packages"))[0]


def write_dist(site, name, version, requires, extras):
    lines = ["Metadata-Version: 2.1", f"Name: {name}", f"Version: {version}",
             "Summary: A generated distribution", "License: MIT",
             "Classifier: Programming Language :: Python :: 3"]
    lines += [f"Requires-Dist: {r}" for r in requires]
    for extra, reqs in extras.items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {r} ; extra == "{extra}"' for r in reqs]
    dist = site / f"{stem(name)}-{version}.dist-info"
    dist.mkdir()
    (dist / "METADATA").write_text("\n".join(lines) + "\nDescription-Content-Type: text/plain\n\n" + DESCRIPTION)
    (dist / "INSTALLER").write_text("bench\n")


def generate(out, n):
    rng = random.Random(n)
    site = make_venv(out)
    names = [display_name(i) for i in range(n)]
    with_extras = {i for i in range(n) if rng.random() < 0.15} | {0, 1}
    hubs = range(max(n - HUBS, 0), n)
    for i in range(n):
        later = n - i - 1
        targets = set()
        if i % CHAIN_EVERY != CHAIN_EVERY - 1 and i + 1 < n:
            targets.add(i + 1)  # long chains
        if later > 0:
            for _ in range(3):
                targets.add(i + 1 + int(rng.random() ** 3 * later))  # mostly near, some far
            if rng.random() < 0.5:
                targets.add(rng.choice(hubs) if n - HUBS > i else n - 1)
        targets.discard(i)
        requires = []
        for t in sorted(targets):
            if t >= n:
                continue
            spec = names[t]
            if t in with_extras and rng.random() < 0.3:
                spec += "[test]"
            spec += f">={rng.randint(0, 3)}.0"
            if rng.random() < 0.1:
                spec += ' ; python_version >= "3.8"'
            elif rng.random() < 0.05:
                spec += ' ; sys_platform == "win32"'
            requires.append(spec)
        if rng.random() < 0.01:
            requires.append(f"not-installed-{i}>=1")
        extras = {}
        if i in with_extras:
            pool = [names[t] for t in range(i + 1, n)] or ["not-installed-extra"]
            extras["test"] = rng.sample(pool, min(2, len(pool)))
            extras["docs"] = rng.sample(pool, min(1, len(pool)))
            if i < 2:
                extras["all"] = rng.sample(pool, min(3, len(pool)))
        write_dist(site, names[i], f"{1 + i % 7}.{i % 13}.0", requires, extras)
    (Path(out) / "roots.txt").write_text("\n".join(names[:50]) + "\n")
    (Path(out) / "pinned.txt").write_text(
        "".join(f"{canonical(names[i])}=={1 + i % 7}.{i % 13}.0\n" for i in range(n)))


def generate_diamonds(out, count=20):
    """a -> b1, b2; b1, b2 -> c; c -> d1, d2; ... : duplicates double per level."""
    site = make_venv(out)
    level = ["top"]
    dists = {}
    for k in range(count):
        left, right, join = f"d{k}-left", f"d{k}-right", f"d{k}-join"
        for parent in level:
            dists[parent] = [left, right]
        dists[left] = [join]
        dists[right] = [join]
        level = [join]
    dists[level[0]] = []
    for name, requires in dists.items():
        write_dist(site, name, "1.0", requires, {})
    (Path(out) / "roots.txt").write_text("top\n")
    (Path(out) / "pinned.txt").write_text("".join(f"{name}==1.0\n" for name in dists))


if __name__ == "__main__":
    target, what = Path(sys.argv[1]), sys.argv[2]
    if target.exists():
        sys.exit(f"{target} exists already")
    if what == "diamonds":
        generate_diamonds(target)
    else:
        generate(target, int(what))
