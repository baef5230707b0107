#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end to end).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "${QUORL_BUILD_DIR:-$root/build}"
ctest --output-on-failure

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then a
# short run of every fuzz target ($QUORL_FUZZ_SECONDS seconds each).
"$root/scripts/test_sanitized.sh"
"$root/fuzz/run.sh" "${QUORL_FUZZ_SECONDS:-15}"
