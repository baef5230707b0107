#!/usr/bin/env bash
# Reproduces the results table of bench/BENCHMARKS.md from a fresh clone:
#
#   bench/run.sh            # measure, then rewrite the results section of BENCHMARKS.md
#   bench/run.sh --print    # measure, print the section instead of writing it
#   bench/run.sh --quick    # fewer runs (a smoke test of the whole chain, not for the table)
#
# To judge a change, bench/compare.sh BEFORE_TOOL times the tool built here
# beside another build (the state before it) in the same runs, with the
# reading floor beside them.
#
# It installs what it needs (hyperfine, Debian's pipdeptree, GNU time, Google
# Benchmark) through scripts/setup.sh, builds the Release tool into
# build-bench/, generates the environments with bench/generate_env.py into a
# scratch directory outside the repository (QUORL_BENCH_WORK, default
# /tmp/quorl-bench; kept between runs, regenerated when the generator
# changes), and times on each environment, in one hyperfine run:
#   - groups with one group, with 50 groups, with 50 groups and --graph, and
#     release on the environment's pinned file;
#   - the floor: the tool's interpreter query alone, bench/metadata_floor.c
#     (one listing, each METADATA header block read once, nothing parsed), and
#     `cat` of every METADATA;
# then one run of the peer (it takes seconds): Debian's pipdeptree run by the
# venv's interpreter (--json, and text). That is one round; three rounds make
# the measurement, so that load from other work on the machine falls on all
# commands alike. Peak memory comes from /usr/bin/time -v. Medians are reported.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
work=${QUORL_BENCH_WORK:-/tmp/quorl-bench}
build=${QUORL_BENCH_BUILD:-$repo/build-bench}
sizes=${QUORL_BENCH_SIZES:-300 2000 10000}
mode=write
rounds=3  # each round times every command, so that a change of load hits all of them alike
runs=5    # runs of each tool and floor command per round; the peer runs once per round
for arg in "$@"; do
  case "$arg" in
    --print) mode=print ;;
    --quick) rounds=1; runs=3 ;;
    *) echo "usage: bench/run.sh [--print] [--quick]" >&2; exit 2 ;;
  esac
done

# Debian's interpreter makes the venvs, so that Debian's pip and pipdeptree
# (built for it) can read them.
python=/usr/bin/python3

"$repo/scripts/setup.sh" hyperfine python3-pipdeptree time procps libbenchmark-dev

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORL_BENCH=ON >/dev/null
ninja -C "$build" -j2 quorl-python-dependencies group_generator_bench >/dev/null
tool=$build/quorl-python-dependencies

mkdir -p "$work"
results=$work/results
rm -rf "$results"
mkdir -p "$results"

# --- environments -------------------------------------------------------------
generator_sum=$(sha256sum "$repo/bench/generate_env.py" | cut -d' ' -f1)
if [ "$(cat "$work/generator.sha256" 2>/dev/null)" != "$generator_sum" ]; then
  rm -rf "$work/envs"
fi
mkdir -p "$work/envs"
for env in $sizes diamonds; do
  if [ ! -d "$work/envs/$env" ]; then
    echo "bench: generating environment $env"
    "$python" "$repo/bench/generate_env.py" "$work/envs/$env" "$env"
  fi
done
echo "$generator_sum" > "$work/generator.sha256"
# Freshly written environments are still being written back to the disk;
# that must not happen during the first measurements.
sync

# --- the peer: Debian's pipdeptree, importable by the venv's interpreter --------
# The venvs hold only the generated distributions; this directory adds
# pipdeptree and the pip it imports, and holds no distribution of its own.
peer=$work/peer
mkdir -p "$peer"
for module in pipdeptree pip; do
  location=$("$python" -c "import $module, os; f = $module.__file__; print(os.path.dirname(f) if f.endswith('__init__.py') else f)")
  ln -sfn "$location" "$peer/$(basename "$location")"
done

# --- the floor: the interpreter query the tool sends, and the least reader ------
query=$repo/src/environment/environment_query.py
reader=$build/metadata_floor
cc -O2 -o "$reader" "$repo/bench/metadata_floor.c"

machine_state() {  # label: load and what used the processors over half a second, for the report
  {
    echo "[$1] $(date -u +%FT%TZ) load $(cut -d' ' -f1-3 /proc/loadavg)"
    top -b -n 2 -d 0.5 -w 200 | awk '/^top -/ { n++ } n == 2 && /^ *[0-9]+ / && $9 + 0 >= 5 && $12 != "top" {
      printf "    %5.0f%% CPU  %s\n", $9, $12 }' | head -5
  } >> "$results/machine-state.txt"
}

peak_kb() {  # name file command: the peak resident set of one run of the command line
  /usr/bin/time -v sh -c "$3" >/dev/null 2>"$results/time-v.txt" || true
  echo "$1 $(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$results/time-v.txt")" >> "$2"
}

measure_environment() {
  local env=$1 venv=$work/envs/$1
  local site
  site=$(echo "$venv"/lib/python3*/site-packages)
  local pinned=$venv/pinned.txt
  local groups_50="" i=0 root
  for root in $(cat "$venv/roots.txt"); do
    groups_50+=" -g g$i:$root"
    i=$((i + 1))
  done
  local first_root
  first_root=$(head -1 "$venv/roots.txt")
  export VIRTUAL_ENV=$venv PATH=$venv/bin:$PATH_BEFORE

  local -a names=(groups-1 groups-50 groups-50-graph release query reader cat)
  local -a commands=(
    "$tool groups $pinned -g one:$first_root"
    "$tool groups $pinned$groups_50"
    "$tool groups $pinned$groups_50 --graph"
    "$tool release $pinned $results/$env-release.json"
    "$venv/bin/python $query"
    "$reader $site"
    "cat $site/*/METADATA"
  )
  local -a named=()
  for i in "${!names[@]}"; do
    # Only cat needs a shell, for its glob; hyperfine runs the rest directly.
    if [ "${names[$i]}" = cat ]; then
      named+=(-n cat "sh -c '${commands[$i]}'")
    else
      named+=(-n "${names[$i]}" "${commands[$i]}")
    fi
  done
  local pipdeptree="env PYTHONPATH=$peer $venv/bin/python -m pipdeptree"
  local rss="/usr/bin/time -a -o $results/$env-peer-rss.txt -f"
  local round
  for round in $(seq "$rounds"); do
    echo "bench: $env, round $round: the tool and the floor, then the peer"
    machine_state "$env round $round"
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$results/$env-tool-$round.json" \
      "${named[@]}" 2>/dev/null | grep -E '^(Benchmark|  Time)' || true
    hyperfine -N --style basic --runs 1 --export-json "$results/$env-peer-$round.json" \
      -n pipdeptree-json "$rss pipdeptree-json:%M $pipdeptree --json" \
      -n pipdeptree-text "$rss pipdeptree-text:%M $pipdeptree" 2>/dev/null | grep -E '^(Benchmark|  Time)' || true
  done
  for i in "${!names[@]}"; do peak_kb "${names[$i]}" "$results/$env-rss.txt" "${commands[$i]}"; done
  unset VIRTUAL_ENV
}

measure_diamonds() {
  local venv=$work/envs/diamonds
  export VIRTUAL_ENV=$venv PATH=$venv/bin:$PATH_BEFORE
  echo "bench: diamonds"
  machine_state diamonds
  # Written into a pipe that hyperfine drains, as a CI log would take it.
  hyperfine -N --style basic --warmup 1 --runs $((rounds * runs)) --output pipe --export-json "$results/diamonds-time-1.json" \
    -n listing "$tool groups $venv/pinned.txt -g chain:top" \
    -n graph "$tool groups $venv/pinned.txt -g chain:top --graph" \
    -n release "$tool release $venv/pinned.txt $results/diamonds-release.json" \
    -n query "$venv/bin/python $query" 2>/dev/null | grep -E '^(Benchmark|  Time)' || true
  peak_kb listing "$results/diamonds-rss.txt" "$tool groups $venv/pinned.txt -g chain:top"
  peak_kb graph "$results/diamonds-rss.txt" "$tool groups $venv/pinned.txt -g chain:top --graph"
  peak_kb release "$results/diamonds-rss.txt" "$tool release $venv/pinned.txt $results/diamonds-release.json"
  "$tool" groups "$venv/pinned.txt" -g chain:top 2>/dev/null | wc -l > "$results/diamonds-listing-lines.txt"
  "$build/group_generator_bench" --benchmark_repetitions=5 --benchmark_format=json \
    > "$results/diamonds-micro.json" 2>/dev/null
  unset VIRTUAL_ENV
}

PATH_BEFORE=$PATH
# pipdeptree reads its working directory as part of sys.path: an empty one.
mkdir -p "$work/cwd"
cd "$work/cwd"
machine_state start
for env in $sizes; do measure_environment "$env"; done
measure_diamonds
machine_state end

{
  echo "cpu=$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
  echo "cores=$(nproc)"
  echo "memory=$(sed -n 's/^MemTotal:\s*//p' /proc/meminfo)"
  echo "kernel=$(uname -r)"
  echo "python=$("$python" --version 2>&1)"
  echo "pipdeptree=$("$python" -c 'import pipdeptree; print(pipdeptree.__version__)')"
  echo "hyperfine=$(hyperfine --version)"
  echo "commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "rounds=$rounds"
  echo "runs=$((rounds * runs))"
  echo "sizes=$sizes"
} > "$results/machine.txt"

if [ "$mode" = print ]; then
  "$python" "$repo/bench/report.py" "$results"
else
  "$python" "$repo/bench/report.py" "$results" --write "$repo/bench/BENCHMARKS.md"
  echo "bench: results written into bench/BENCHMARKS.md"
fi
