#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what .clang-format makes of
# it, listing the files; `scripts/check_format.sh --fix` rewrites them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mapfile -t files < <(git ls-files -- '*.h' '*.cpp' '*.c')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
  echo "check_format: these files are not formatted (scripts/check_format.sh --fix):"
  for file in "${files[@]}"; do
    clang-format "$file" | cmp -s - "$file" || echo "  $file"
  done
  exit 1
fi
