#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end to end).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/check_format.sh"
"$root/scripts/build.sh"
cd "${QUORL_BUILD_DIR:-$root/build}"
ctest --output-on-failure

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short run of every fuzz target: a fixed number of inputs from a fixed seed,
# so that the test command gives the same verdict on every run (long,
# exploring runs: fuzz/run.sh SECONDS).
"$root/scripts/test_sanitized.sh"
QUORL_FUZZ_RUNS="${QUORL_FUZZ_RUNS:-20000}" "$root/fuzz/run.sh"
