#!/usr/bin/env bash
# What the consistency checks cost: `groups` (50 groups) and `release` on the
# 10,000-distribution environment, timed for this checkout against a
# revision without the checks, in alternating rounds so that load from other
# work falls on both alike.
#
#   bench/consistency_cost.sh BASE_REVISION [ROUNDS]   # e.g. eb90b74 5
#
# The base revision is exported with `git archive` and built beside the
# current build in QUORL_BENCH_WORK (default /tmp/quorl-bench); the
# environment is generated there as bench/run.sh generates it. Prints the
# median elapsed time of each command, and the median over the rounds of its
# mean CPU time (user + system, which other work changes much less).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
base_rev=${1:?usage: bench/consistency_cost.sh BASE_REVISION [ROUNDS]}
rounds=${2:-5}
work=${QUORL_BENCH_WORK:-/tmp/quorl-bench}
python=/usr/bin/python3

"$repo/scripts/setup.sh" hyperfine
build() {  # source dir, build dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_TESTS=OFF >/dev/null
  ninja -C "$2" -j2 quorl-python-dependencies >/dev/null
}
base_commit=$(git -C "$repo" rev-parse "$base_rev")
if [ "$(cat "$work/cost-base-src/.revision" 2>/dev/null)" != "$base_commit" ]; then
  rm -rf "$work/cost-base-src" "$work/cost-base-build"
  mkdir -p "$work/cost-base-src"
  git -C "$repo" archive "$base_commit" | tar -x -C "$work/cost-base-src"
  echo "$base_commit" > "$work/cost-base-src/.revision"
fi
build "$work/cost-base-src" "$work/cost-base-build"
build "$repo" "$work/cost-new-build"

venv=$work/envs/10000
[ -d "$venv" ] || "$python" "$repo/bench/generate_env.py" "$venv" 10000
groups=""
i=0
for root in $(cat "$venv/roots.txt"); do groups+=" -g g$i:$root"; i=$((i + 1)); done
export VIRTUAL_ENV=$venv PATH=$venv/bin:$PATH

results=$work/cost-results
rm -rf "$results"
mkdir -p "$results"
for round in $(seq "$rounds"); do
  args=()
  for side in base new; do
    tool=$work/cost-$side-build/quorl-python-dependencies
    args+=(-n "groups-$side" "$tool groups $venv/pinned.txt$groups"
           -n "release-$side" "$tool release $venv/pinned.txt $results/release-$side.json")
  done
  hyperfine -N --style none --warmup 1 --runs 3 --export-json "$results/round-$round.json" "${args[@]}" >/dev/null 2>&1
done
cmp "$results/release-base.json" "$results/release-new.json" >/dev/null || echo "cost: the release JSON differs" >&2

"$python" - "$results" <<'PY'
import json, statistics, sys
from pathlib import Path
times, cpu = {}, {}
for path in sorted(Path(sys.argv[1]).glob("round-*.json")):
    for r in json.loads(path.read_text())["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
        cpu.setdefault(r["command"], []).append(r["user"] + r["system"])  # the round's mean
print("| Command | without checks | with checks | cost | CPU without | CPU with | CPU cost |")
print("|---|---|---|---|---|---|---|")
for command in ("groups", "release"):
    b, n = statistics.median(times[command + "-base"]), statistics.median(times[command + "-new"])
    cb, cn = statistics.median(cpu[command + "-base"]), statistics.median(cpu[command + "-new"])
    print(f"| `{command}` | {b:.3f} s | {n:.3f} s | {100 * (n / b - 1):+.0f} % "
          f"| {cb:.3f} s | {cn:.3f} s | {100 * (cn / cb - 1):+.0f} % |")
PY
