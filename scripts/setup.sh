#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake g++ ninja-build clang-format
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
  python3 python3-venv python3-pip-whl python3-setuptools-whl python3-pytest
  python3-packaging  # the judge of the version specifier unit test
  python3-jsonschema  # checks the bills of materials against the CycloneDX schema
  "$@"
)

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
