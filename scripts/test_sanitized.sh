#!/usr/bin/env bash
# Builds the tool and its unit tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ (or $QUORL_ASAN_BUILD_DIR) and
# runs the whole suite, unit and end to end, against that build.
#
# A sanitizer report fails the run even where a test would accept the exit
# status: every report is written to a file of its own, and any such file
# counts as a failure; a sanitizer error also ends the process with status 86,
# which no test expects.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${QUORL_ASAN_BUILD_DIR:-$root/build-asan}"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build_dir" -G Ninja -DQUORL_SANITIZE=ON -DQUORL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! build_log=$(ninja -C "$build_dir" -j "${QUORL_JOBS:-2}" quorl-python-dependencies unit_tests 2>&1); then
  echo "$build_log"
  exit 1
fi

reports="$build_dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# Some end-to-end tests run the tool as an unprivileged user.
chmod 1777 "$reports"
export ASAN_OPTIONS="exitcode=86:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:log_path=$reports/asan"
export UBSAN_OPTIONS="exitcode=86:halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"

status=0
(cd "$build_dir" && ctest --output-on-failure) || status=$?

if compgen -G "$reports/*" >/dev/null; then
  echo "test_sanitized: sanitizer reports:"
  for report in "$reports"/*; do
    echo "--- $report"
    head -n 60 "$report"
  done
  status=1
fi
if [ "$status" -ne 0 ]; then
  echo "test_sanitized: FAILED"
  exit "$status"
fi
echo "test_sanitized: unit and end-to-end suites passed under ASan and UBSan"
