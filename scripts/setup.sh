#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tabulon needs.
# Skips apt entirely when everything is already installed.
set -euo pipefail

packages=(g++ cmake make pkg-config libjsoncpp-dev libgtest-dev libbenchmark-dev
          openjdk-17-jdk-headless junit5 libh2-java libxerial-sqlite-jdbc-java
          clang libclang-rt-14-dev locales python3 chromium libcsv-dev help2man)

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

# A locale with a decimal comma, so the tests can prove that totals never
# depend on the process locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
