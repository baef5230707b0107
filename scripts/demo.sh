#!/usr/bin/env bash
# Builds the tool and shows what it offers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
"${QUORL_BUILD_DIR:-$root/build}/quorl-python-dependencies" --help
