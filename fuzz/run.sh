#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one, one after another, for a set
# time from its seed corpus in fuzz/corpus/<target>/.
#
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]     (default: 15 s, every target)
#
# Every run uses one core (-jobs=1 -workers=1). New inputs go to a working
# corpus in the build directory, never into the repository; a finding leaves
# its input in <build>/artifacts/ and makes the script fail. The build
# directory is $QUORL_FUZZ_BUILD_DIR, default build-fuzz/.
#
# With QUORL_FUZZ_RUNS=N each target instead runs exactly N inputs from the
# fixed seed $QUORL_FUZZ_SEED (default 1): the same run every time, as the test
# command wants, while a timed run explores anew on each call.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-15}"
shift || true
build_dir="${QUORL_FUZZ_BUILD_DIR:-$root/build-fuzz}"

"$root/scripts/setup.sh" clang libclang-rt-14-dev

CXX=clang++ CC=clang cmake -S "$root" -B "$build_dir" -G Ninja -DQUORL_FUZZ=ON -DQUORL_TESTS=OFF -DQUORL_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for source in "$root"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
if ! build_log=$(ninja -C "$build_dir" -j "${QUORL_JOBS:-2}" "${targets[@]}" 2>&1); then
  echo "$build_log"
  exit 1
fi

mkdir -p "$build_dir/artifacts" "$build_dir/logs"
failed=()
for target in "${targets[@]}"; do
  work_corpus="$build_dir/corpus/$target"
  log_dir="$build_dir/logs/$target"
  mkdir -p "$work_corpus" "$log_dir"
  started=$(date +%s)
  status=0
  if [ -n "${QUORL_FUZZ_RUNS:-}" ]; then
    budget=(-runs="$QUORL_FUZZ_RUNS" -seed="${QUORL_FUZZ_SEED:-1}")
  else
    budget=(-max_total_time="$seconds")
  fi
  # -jobs runs the fuzzer in a child whose output goes to fuzz-0.log in the
  # working directory.
  (cd "$log_dir" && rm -f fuzz-0.log &&
    "$build_dir/$target" "$work_corpus" "$root/fuzz/corpus/$target" \
      -jobs=1 -workers=1 "${budget[@]}" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build_dir/artifacts/$target-" >/dev/null 2>&1) || status=$?
  elapsed=$(( $(date +%s) - started ))
  log="$log_dir/fuzz-0.log"
  executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" 2>/dev/null | tail -1 | grep -o '[0-9]*$' || true)
  if [ "$status" -ne 0 ] || grep -qE '^==[0-9]+==ERROR|runtime error|property failed|deadly signal' "$log"; then
    echo "fuzz: $target FAILED after ${elapsed}s (log: $log)"
    tail -n 40 "$log" || true
    failed+=("$target")
  else
    echo "fuzz: $target ${executions:-?} executions in ${elapsed}s, no finding"
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}; inputs in $build_dir/artifacts/"
  exit 1
fi
