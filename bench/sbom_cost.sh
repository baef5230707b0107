#!/usr/bin/env bash
# What `--sbom` costs `release` on the 10,000-distribution environment: the
# same release with and without its bills of materials, in alternating
# rounds so that load from other work falls on both alike.
#
#   bench/sbom_cost.sh [ROUNDS]   # e.g. 30
#
# Builds the Release tool into build-bench/ (QUORL_BENCH_BUILD) and generates
# the environment as bench/run.sh does, into QUORL_BENCH_WORK (default
# /tmp/quorl-bench). Prints the median elapsed time and the median CPU time
# (user + system) of each over the rounds, their ratios, and the size of
# what the bills add.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-30}
work=${QUORL_BENCH_WORK:-/tmp/quorl-bench}
build=${QUORL_BENCH_BUILD:-$repo/build-bench}
python=/usr/bin/python3

"$repo/scripts/setup.sh" hyperfine
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 quorl-python-dependencies >/dev/null
tool=$build/quorl-python-dependencies

venv=$work/envs/10000
[ -d "$venv" ] || "$python" "$repo/bench/generate_env.py" "$venv" 10000
export VIRTUAL_ENV=$venv PATH=$venv/bin:$PATH SOURCE_DATE_EPOCH=1700000000

results=$work/sbom-results
rm -rf "$results"
mkdir -p "$results"
# One run of each per round, after one warm-up of each: with three runs of
# one command in a row, the plain release measured a third more CPU time
# than alone, and the ratio looked better than it is.
"$tool" release "$venv/pinned.txt" "$results/plain.json" >/dev/null 2>&1
"$tool" release "$venv/pinned.txt" "$results/with.json" --sbom "$results/sbom" >/dev/null 2>&1
for round in $(seq "$rounds"); do
  hyperfine -N --style none --runs 1 --export-json "$results/round-$round.json" \
    -n release "$tool release $venv/pinned.txt $results/plain.json" \
    -n release-sbom "$tool release $venv/pinned.txt $results/with.json --sbom $results/sbom" >/dev/null 2>&1
done
cmp "$results/plain.json" "$results/with.json" >/dev/null || echo "sbom cost: the release JSON differs" >&2

"$python" - "$results" <<'PY'
import json, statistics, sys
from pathlib import Path
results = Path(sys.argv[1])
times, cpu = {}, {}
for path in sorted(results.glob("round-*.json")):
    for r in json.loads(path.read_text())["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
        cpu.setdefault(r["command"], []).append(r["user"] + r["system"])  # the round's one run
bills = sorted((results / "sbom").glob("*.cdx.json"))
components = sum(len(json.loads(b.read_text())["components"]) for b in bills)
size = sum(b.stat().st_size for b in bills)
t, ts = statistics.median(times["release"]), statistics.median(times["release-sbom"])
c, cs = statistics.median(cpu["release"]), statistics.median(cpu["release-sbom"])
print("| Command | elapsed | CPU (user + system) |")
print("|---|---|---|")
print(f"| `release` | {t:.3f} s | {c:.3f} s |")
print(f"| `release --sbom` | {ts:.3f} s | {cs:.3f} s |")
print(f"| ratio | {ts / t:.2f}x | {cs / c:.2f}x |")
print(f"\n{len(bills)} documents, {components} components in all, {size / 1e6:.1f} MB")
PY
