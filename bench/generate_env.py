"""Generates realistic Python environments for the benchmarks.

    python3 bench/generate_env.py OUT_DIR N          # a venv with N distributions
    python3 bench/generate_env.py OUT_DIR diamonds   # a chain of 20 diamonds
    python3 bench/generate_env.py --stats N          # the shape of the graph for N

Each distribution is a real *.dist-info directory in the venv's site-packages:
mixed-case, underscore and dot names; about four requirements each; about 15%
with extras; environment markers; requirements with extras; a few requirements
that are not installed; and a METADATA description body of a few KB, as real
packages have. The venv has no pip, so only the generated distributions are
read. Deterministic for a given N.

The graph is shaped like a real environment's, which matters for anything that
prints whole trees: every distribution has a level, and requires one
distribution of the level below it (so the top ones head chains of up to
MAX_LEVEL links), a hub most of the time (the 25 packages that everything
needs), and otherwise packages of low levels. Most distributions sit at the
low levels; a few applications at the top reach thousands of packages. A tree
printed from the top therefore has on the order of a million lines, not the
astronomical count of a random DAG of the same depth.

Besides the venv, OUT_DIR receives roots.txt (50 root names, canonical, the
product's packages first, as a group would name them) and pinned.txt (a
resolved file pinning every distribution and every requirement that is not
installed, so that `release` computes and pins real groups).
"""
import random
import re
import subprocess
import sys
from pathlib import Path

HUBS = 25
MAX_LEVEL = 16
EXTRAS_SHARE = 0.15
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


def version_of(i):
    return f"{1 + i % 7}.{i % 13}.0"


def levels(n):
    """Level of each index: the hubs (the last HUBS indices) are 0; the rest
    fall from MAX_LEVEL at index 0 to 1, steeply, so most packages are low."""
    body = max(n - HUBS, 1)
    return [0 if i >= n - HUBS else 1 + int((MAX_LEVEL - 1) * (1 - i / body) ** 5) for i in range(n)]


def build_graph(n):
    """(names, requires, extras) of N distributions: requires[i] is a list of
    requirement lines, extras[i] a dict of extra name to requirement names."""
    rng = random.Random(n)
    names = [display_name(i) for i in range(n)]
    level = levels(n)
    by_level = {}
    for i, lv in enumerate(level):
        by_level.setdefault(lv, []).append(i)
    with_extras = {i for i in range(n) if rng.random() < EXTRAS_SHARE} | {0, 1}
    hubs = by_level.get(0, [])

    def below(lv, low_bias):
        """A random index of a level under `lv`, biased towards level 1."""
        candidates = [k for k in range(1, lv) if k in by_level]
        if not candidates or (hubs and rng.random() < 0.15):
            return rng.choice(hubs) if hubs else None
        k = candidates[int(rng.random() ** low_bias * len(candidates))]
        return rng.choice(by_level[k])

    targets = []
    for i in range(n):
        lv = level[i]
        chosen = set()
        if lv > 1 and lv - 1 in by_level:
            chosen.add(rng.choice(by_level[lv - 1]))  # the chain down
        if lv > 0:
            if hubs and rng.random() < 0.7:
                chosen.add(rng.choice(hubs))
            for _ in range(rng.choice((1, 2, 2, 3, 3, 4))):
                t = below(lv, 3)
                if t is not None:
                    chosen.add(t)
        chosen.discard(i)
        targets.append(chosen)
    wire_product(targets, rng)

    requires, extras = [], []
    for i in range(n):
        lines = []
        for t in sorted(targets[i]):
            spec = names[t]
            if t in with_extras and rng.random() < 0.3:
                spec += "[test]"
            spec += f">={rng.randint(0, 3)}.0"
            if rng.random() < 0.1:
                spec += ' ; python_version >= "3.8"'
            elif rng.random() < 0.05:
                spec += ' ; sys_platform == "win32"'
            lines.append(spec)
        if rng.random() < 0.01:
            lines.append(f"not-installed-{i}>=1")
        own_extras = {}
        if i in with_extras and level[i] > 0:
            def pick(count):
                return sorted({names[t] for t in (below(level[i], 1) for _ in range(count)) if t is not None})
            own_extras["test"] = pick(2)
            own_extras["docs"] = pick(1)
            if i < 2:
                own_extras["all"] = pick(3)
        requires.append(lines)
        extras.append(own_extras)
    return names, requires, extras


def wire_product(targets, rng):
    """The product is what the environment was installed for: its packages
    require the distributions that nothing else requires, except a share
    left to stand for tools installed beside it (linters, CI helpers)."""
    product = range(min(4, len(targets)))
    required = set().union(*targets)
    tops = [i for i in range(len(product), len(targets)) if i not in required]
    for i in tops:
        if rng.random() < 0.15 or not product:
            continue
        owner = rng.choices(product, weights=(45, 25, 10, 20)[:len(product)])[0]
        targets[owner].add(i)
    if len(product) > 2:
        targets[2].add(1)  # the internal edition builds on the public one


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
    names, requires, extras = build_graph(n)
    site = make_venv(out)
    for i in range(n):
        write_dist(site, names[i], version_of(i), requires[i], extras[i])
    missing = sorted({m for lines in requires for m in re.findall(r"^(not-installed-\d+)", "\n".join(lines), re.M)})
    (Path(out) / "roots.txt").write_text("".join(canonical(name) + "\n" for name in names[:50]))
    (Path(out) / "pinned.txt").write_text(
        "".join(f"{canonical(names[i])}=={version_of(i)}\n" for i in range(n)) +
        "".join(f"{name}==1.0\n" for name in missing))


def generate_diamonds(out, count=20):
    """top -> d0-left, d0-right -> d0-join -> d1-left, d1-right -> ...: the
    layered listing from top doubles its duplicates with every diamond."""
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
    # A product package heads the chain, so that `release` runs the group
    # generator over it too.
    dists[PRODUCT[2]] = ["top"]
    for name, requires in dists.items():
        write_dist(site, name, "1.0", requires, {})
    (Path(out) / "roots.txt").write_text("top\n")
    (Path(out) / "pinned.txt").write_text("".join(f"{name}==1.0\n" for name in dists))


def stats(n):
    """The shape of the graph for N: what a tree printed from the top costs."""
    names, requires, extras = build_graph(n)
    index = {canonical(name): i for i, name in enumerate(names)}
    children = [[index[canonical(re.match(r"[A-Za-z0-9._-]+", line).group(0))] for line in lines
                 if "win32" not in line and not line.startswith("not-installed")] for lines in requires]
    paths, height, reach = [0] * n, [0] * n, [None] * n

    def visit(i):
        if reach[i] is None:
            for c in children[i]:
                visit(c)
            paths[i] = 1 + sum(paths[c] for c in children[i])
            height[i] = 1 + max((height[c] for c in children[i]), default=0)
            reach[i] = set().union({i}, *(reach[c] for c in children[i]))

    for i in range(n):
        visit(i)
    required = {c for cs in children for c in cs}
    tops = [i for i in range(n) if i not in required]
    print(f"{n} distributions, {sum(map(len, requires))} direct requirement lines, "
          f"{sum(len(r) for e in extras for r in e.values())} extras lines, {len(tops)} not required by any")
    print(f"tree lines from every top: {sum(paths[i] for i in tops):,}; deepest chain {max(height)}")
    for i in range(5):
        print(f"  {canonical(names[i])}: reaches {len(reach[i]):,}, tree {paths[i]:,} lines, height {height[i]}")


if __name__ == "__main__":
    if sys.argv[1] == "--stats":
        stats(int(sys.argv[2]))
        sys.exit(0)
    target, what = Path(sys.argv[1]), sys.argv[2]
    if target.exists():
        sys.exit(f"{target} exists already")
    if what == "diamonds":
        generate_diamonds(target)
    else:
        generate(target, int(what))
