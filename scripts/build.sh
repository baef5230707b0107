#!/usr/bin/env bash
# Configures and builds into build/ (or $QUORL_BUILD_DIR), passing any extra
# arguments to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${QUORL_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build_dir" -G Ninja -DQUORL_WERROR=ON "$@" >/dev/null
ninja -C "$build_dir"
