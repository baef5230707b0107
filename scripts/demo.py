"""The tool's main job on a sample product, end to end and on this machine only.

Builds the sample product's wheels, serves them from a local index on
127.0.0.1, creates a throwaway venv, then runs `resolve --install`,
`groups --release`, `groups --graph` and `release`, and shows the results.
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import pykit  # noqa: E402
import sample_product  # noqa: E402


def banner(text):
    print(f"\n\033[1m$ {text}\033[0m" if sys.stdout.isatty() else f"\n$ {text}", flush=True)


def run(exe, args, env, cwd):
    shown = " ".join(["quorl-python-dependencies", *args])
    banner(shown)
    result = subprocess.run([str(exe), *args], env=env, cwd=cwd, text=True, capture_output=True)
    sys.stdout.write(result.stdout)
    if result.stderr:
        sys.stdout.write("".join(f"  [stderr] {line}\n" for line in result.stderr.splitlines()))
    if result.returncode != 0:
        sys.exit(f"demo: the command above failed with status {result.returncode}")
    return result


def main():
    exe = Path(sys.argv[1]).resolve()
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="quorl-demo-") as scratch:
        scratch = Path(scratch)
        root = sample_product.make_install_root(scratch / "root")
        wheels = sample_product.build_wheels(scratch / "wheels")
        venv = pykit.make_venv(scratch / "venv")
        with pykit.LocalIndex(wheels) as index:
            env = venv.env()
            env["PIP_INDEX_URL"] = index.url
            env["QUORL_INSTALL_ROOT"] = str(root)
            pinned = root / "setup" / "quorl_runtime_pinned_versions.txt"
            print(f"Sample product: {len(sample_product.PACKAGES)} packages served at {index.url}")
            print(f"Install root:   {root}  (runtime/ holds the root requirements)")
            print(f"Environment:    {venv.path}")
            run(exe, ["resolve", str(root / "runtime" / "requirements_quorl_runtime.txt"), str(pinned),
                      "-i", index.url, "-d", "127.0.0.1", "--install"], env, scratch)
            banner(f"cat {pinned.name}")
            print(pinned.read_text(), end="")
            run(exe, ["groups", str(pinned), "--release"], env, scratch)
            run(exe, ["groups", str(pinned), "--graph",
                      "-g", "glimwork:corvaneth-quorl-glimwork-internal",
                      "-g", "viz:corvaneth-quorl-tessaly[viz]"], env, scratch)
            release_json = scratch / "release.json"
            run(exe, ["release", str(pinned), str(release_json)], env, scratch)
            banner(f"cat {release_json.name}")
            print(release_json.read_text())
    print(f"\nHow to read this: `resolve` pinned every transitive dependency (one name==version per line)\n"
          f"and installed them; `groups --release` lists each release group layer by layer (roots first,\n"
          f"then what they require, indented by depth; setup/exclude.txt removed 'six'); `--graph` draws\n"
          f"each group as a tree, '=> [extra]' naming the extras that pull a package in; `release` wrote\n"
          f"every group pinned, then every package on its own, as JSON.\n"
          f"Done in {time.monotonic() - started:.1f} s; the venv, index and files were temporary.")


if __name__ == "__main__":
    main()
