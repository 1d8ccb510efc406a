#!/usr/bin/env bash
# Installs the Debian packages kivtab builds and tests with. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libsqlite3-dev sqlite3
  unixodbc unixodbc-dev tdsodbc libsqliteodbc
  libcurl4-openssl-dev libssl-dev openssl libzip-dev zip unzip
  nlohmann-json3-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
