#!/usr/bin/env bash
# Installs, at the versions package-lock.json pins, what the Mermaid test
# needs (mermaid's parser and the DOM it runs in) into node_modules here.
# Without Node and npm it says so and does nothing: that test is then skipped.
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
  echo "js: no node/npm, the Mermaid test will be skipped" >&2
  exit 0
fi
if [ -f node_modules/.package-lock.json ] && cmp -s package-lock.json .installed-lock.json; then
  exit 0
fi
npm ci --no-audit --no-fund --loglevel=error
cp package-lock.json .installed-lock.json
