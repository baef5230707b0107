#!/usr/bin/env bash
# Times this tree's tool beside another build of it (the state before a
# change), in one hyperfine run per environment, so that load from other work
# on the machine falls on both alike; CPU time (user + system, the
# interpreter it asks included) is reported beside the elapsed time, since
# other work changes it much less.
#
#   bench/compare.sh BEFORE_TOOL [ENV...]
#
# ENV is a size that bench/generate_env.py generates into
# $QUORL_BENCH_WORK/envs (default: 300 2000 10000), or "system": Debian's
# /usr/bin/python3 with its system site. On each, both tools run `groups` with
# one group reaching few distributions (the root in SMALL_ROOTS below: 12 to
# 18 distributions), `groups` with 50 groups, and `release`; beside them
# the reading floor: the interpreter query plus bench/metadata_floor.c. Prints
# a Markdown table; peak memory is the maximum resident set of one run.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
before=$(realpath "$1")
shift
envs=${*:-300 2000 10000}
work=${QUORL_BENCH_WORK:-/tmp/quorl-bench}
build=${QUORL_BENCH_BUILD:-$repo/build-bench}
runs=${QUORL_BENCH_RUNS:-10}
python=/usr/bin/python3
# A root reaching at most 20 distributions in each environment.
declare -A SMALL_ROOTS=([300]=pytool-98 [2000]=pkg-802-core [10000]=pkg-lib3606 [system]=jsonschema)

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_BENCH=ON >/dev/null
ninja -C "$build" quorl-python-dependencies >/dev/null
after=$build/quorl-python-dependencies
floor=$build/metadata_floor
cc -O2 -o "$floor" "$repo/bench/metadata_floor.c"
query=$repo/src/environment/environment_query.py
results=$work/compare
mkdir -p "$results" "$work/cwd"
cd "$work/cwd"

peak_mib() {  # command...: the peak resident set of one run, in MiB
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.0f", $1 / 1024 }'
}

# One environment: sets interpreter, site, pinned, small, many (the roots).
prepare() {
  if [ "$1" = system ]; then
    interpreter=$python
    site=/usr/lib/python3/dist-packages
    pinned=$results/system-pinned.txt
    "$python" -c 'import importlib.metadata as m
for d in m.distributions(): print(d.name + "==" + d.version)' | sort -u > "$pinned"
    mapfile -t roots < <(sed 's/==.*//' "$pinned" | head -50)
    unset VIRTUAL_ENV
  else
    local venv=$work/envs/$1
    [ -d "$venv" ] || "$python" "$repo/bench/generate_env.py" "$venv" "$1" >/dev/null
    interpreter=$venv/bin/python
    site=$(echo "$venv"/lib/python3*/site-packages)
    pinned=$venv/pinned.txt
    mapfile -t roots < "$venv/roots.txt"
    export VIRTUAL_ENV=$venv
  fi
}

echo "| Environment | Command | before: elapsed | after: elapsed | before: CPU | after: CPU | after / before (CPU) | after / reading floor (elapsed) | peak memory before / after |"
echo "|---|---|---|---|---|---|---|---|---|"
for env in $envs; do
  prepare "$env"
  small=${SMALL_ROOTS[$env]}
  many=()
  for i in "${!roots[@]}"; do many+=(-g "g$i:${roots[$i]}"); done
  declare -A command=(
    [groups-1]="groups $pinned -g one:$small --python $interpreter"
    [groups-50]="groups $pinned ${many[*]} --python $interpreter"
    [release]="release $pinned $results/release.json --python $interpreter"
  )
  names=(groups-1 groups-50 release)
  args=()
  for name in "${names[@]}"; do
    args+=(-n "before $name" "$before ${command[$name]}" -n "after $name" "$after ${command[$name]}")
  done
  args+=(-n query "$interpreter $query" -n reader "$floor $site")
  hyperfine -N -i --style none --warmup 1 --runs "$runs" --export-json "$results/$env.json" "${args[@]}" >/dev/null 2>&1
  for name in "${names[@]}"; do
    # shellcheck disable=SC2086
    memory="$(peak_mib $before ${command[$name]}) / $(peak_mib $after ${command[$name]}) MiB"
    "$python" - "$results/$env.json" "$env" "$name" "$memory" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
env, name, memory = sys.argv[2:]
def ms(seconds): return f"{seconds * 1000:.1f} ms"
def cpu(r): return r["user"] + r["system"]
b, a = results[f"before {name}"], results[f"after {name}"]
floor = results["query"]["median"] + results["reader"]["median"]
print(f"| {env} | {name} | {ms(b['median'])} | {ms(a['median'])} | {ms(cpu(b))} | {ms(cpu(a))} | "
      f"{cpu(a) / cpu(b):.2f} | {a['median'] / floor:.2f} (floor {ms(floor)}) | {memory} |")
EOF
  done
  unset command
done
