#!/usr/bin/env bash
# What the consistency checks cost: `groups` (50 groups) and `release` on the
# 10,000-distribution environment, for the committed tree against the same
# tree with the checks taken out (bench/remove_checks.py), in alternating
# rounds so that load from other work falls on both alike.
#
#   bench/consistency_cost.sh [ROUNDS]   # e.g. 7
#
# Both are exported with `git archive HEAD` and built in QUORL_BENCH_WORK
# (default /tmp/quorl-bench); the environment is generated there as
# bench/run.sh generates it. Prints the median elapsed time of each command,
# the median over the rounds of its mean CPU time (user + system of the tool
# and the interpreter it asks, which other work changes much less), and,
# when valgrind is installed, the instructions of the tool's own process.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
work=${QUORL_BENCH_WORK:-/tmp/quorl-bench}
python=/usr/bin/python3

"$repo/scripts/setup.sh" hyperfine
build() {  # source dir, build dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_TESTS=OFF >/dev/null
  ninja -C "$2" -j2 quorl-python-dependencies >/dev/null
}
commit=$(git -C "$repo" rev-parse HEAD)
for side in with without; do
  if [ "$(cat "$work/cost-$side-src/.revision" 2>/dev/null)" != "$commit" ]; then
    rm -rf "$work/cost-$side-src" "$work/cost-$side-build"
    mkdir -p "$work/cost-$side-src"
    git -C "$repo" archive "$commit" | tar -x -C "$work/cost-$side-src"
    if [ "$side" = without ]; then "$python" "$repo/bench/remove_checks.py" "$work/cost-$side-src"; fi
    echo "$commit" > "$work/cost-$side-src/.revision"
  fi
  build "$work/cost-$side-src" "$work/cost-$side-build"
done

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
  for side in without with; do
    tool=$work/cost-$side-build/quorl-python-dependencies
    args+=(-n "groups-$side" "$tool groups $venv/pinned.txt$groups"
           -n "release-$side" "$tool release $venv/pinned.txt $results/release-$side.json")
  done
  hyperfine -N --style none --warmup 1 --runs 3 --export-json "$results/round-$round.json" "${args[@]}" >/dev/null 2>&1
done
cmp "$results/release-without.json" "$results/release-with.json" >/dev/null || echo "cost: the release JSON differs" >&2
if command -v valgrind >/dev/null; then
  for side in without with; do
    tool=$work/cost-$side-build/quorl-python-dependencies
    # shellcheck disable=SC2086  # $groups is a list of arguments
    valgrind --tool=callgrind --callgrind-out-file="$results/groups-$side.cg" \
      "$tool" groups "$venv/pinned.txt" $groups >/dev/null 2>&1
    valgrind --tool=callgrind --callgrind-out-file="$results/release-$side.cg" \
      "$tool" release "$venv/pinned.txt" "$results/release-$side.json" >/dev/null 2>&1
  done
fi

"$python" - "$results" <<'PY'
import json, statistics, sys
from pathlib import Path
times, cpu = {}, {}
for path in sorted(Path(sys.argv[1]).glob("round-*.json")):
    for r in json.loads(path.read_text())["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
        cpu.setdefault(r["command"], []).append(r["user"] + r["system"])  # the round's mean
def instructions(command, side):
    path = Path(sys.argv[1]) / f"{command}-{side}.cg"
    if not path.exists():
        return None
    for line in path.read_text().splitlines():
        if line.startswith("summary:"):
            return int(line.split()[1])
    return None

print("| Command | without checks | with checks | cost | CPU without | CPU with | CPU cost "
      "| instructions without | with | cost |")
print("|---|---|---|---|---|---|---|---|---|---|")
for command in ("groups", "release"):
    b, n = statistics.median(times[command + "-without"]), statistics.median(times[command + "-with"])
    cb, cn = statistics.median(cpu[command + "-without"]), statistics.median(cpu[command + "-with"])
    ib, in_ = instructions(command, "without"), instructions(command, "with")
    shown = (f"{ib / 1e6:.1f} M | {in_ / 1e6:.1f} M | {100 * (in_ / ib - 1):+.1f} %" if ib and in_ else "- | - | -")
    print(f"| `{command}` | {b:.3f} s | {n:.3f} s | {100 * (n / b - 1):+.1f} % "
          f"| {cb:.3f} s | {cn:.3f} s | {100 * (cn / cb - 1):+.1f} % | {shown} |")
PY
