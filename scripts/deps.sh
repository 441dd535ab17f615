#!/usr/bin/env bash
# Installs every Debian package the project builds, tests or runs with, when one is missing.
# Quick and silent when all are present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  libboost-regex-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  liblunar-date-dev libglib2.0-dev
  xvfb xauth fonts-noto-cjk
  libxlsxwriter-dev
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Install them as root:  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
