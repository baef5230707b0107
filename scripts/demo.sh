#!/usr/bin/env bash
# Builds the tool and runs its main job on a sample product: wheels built here,
# served on 127.0.0.1, installed into a throwaway venv. Leaves nothing behind.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
/usr/bin/python3 "$root/scripts/demo.py" "${QUORL_BUILD_DIR:-$root/build}/quorl-python-dependencies"
