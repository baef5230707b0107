#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end to end).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "${QUORL_BUILD_DIR:-$root/build}"
ctest --output-on-failure
