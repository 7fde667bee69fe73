#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tabulon needs.
# Skips apt entirely when everything is already installed.
set -euo pipefail

packages=(g++ cmake make pkg-config libjsoncpp-dev libgtest-dev libbenchmark-dev
          openjdk-17-jdk-headless junit5 libh2-java libxerial-sqlite-jdbc-java
          clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
