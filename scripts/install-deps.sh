#!/usr/bin/env bash
# Installs the Debian packages that building, testing, fuzzing, packaging and
# running Orvel need (dpkg-dev and file make the package; desktop-file-utils,
# shared-mime-info and poppler-utils check it, its desktop files and the user
# guide).
# Idempotent: when everything is present it returns at once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev
  libusb-dev zlib1g-dev
  socat xvfb xauth fonts-dejavu-core
  clang libclang-rt-14-dev
  dpkg-dev file desktop-file-utils shared-mime-info poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
