#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake g++ ninja-build clang-format
  libcli11-dev nlohmann-json3-dev
  libtomlplusplus-dev  # PEP 751 lock files
  libgtest-dev libgmock-dev
  python3 python3-venv python3-pip-whl python3-setuptools-whl python3-pytest
  python3-packaging  # the judge of the version specifier unit test
  graphviz  # renders groups --format dot in its test
  python3-jsonschema  # checks the bills of materials against the CycloneDX schema
  "$@"
)
# Mermaid's parser for the test of groups --format mermaid runs under Node.
# A Node from elsewhere (with its own npm) is kept: Debian's npm package
# would conflict with it.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$(dirname "$0")/../tests/e2e/js/install.sh"
