#!/usr/bin/env bash
# Builds Orvel's Debian package with CPack and checks it in a scratch root.
#
#   scripts/package.sh    ->  build-package/orvel_<version>-1_<arch>.deb
#
# The package build has a folder of its own (build-package/, prefix /usr,
# without tests, benchmarks or developer tools). Its dependencies on Debian's
# runtime packages are read off the binaries by dpkg-shlibdeps. The check
# unpacks the package with dpkg -x and runs scripts/check-install.sh on it (no
# root needed); install it with
#
#   sudo apt install ./build-package/orvel_*.deb      (remove: sudo apt remove orvel)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build-package
rm -f "$dir"/orvel_*.deb
launchers=()
if command -v ccache >/dev/null; then
  launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
scripts/build.sh "$dir" -DCMAKE_INSTALL_PREFIX=/usr -DORVEL_TESTS=OFF "${launchers[@]}"
(cd "$dir" && cpack -G DEB >/dev/null)
deb="$(ls "$dir"/orvel_*.deb)"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
scripts/check-install.sh "$scratch" /usr
depends="$(dpkg-deb -f "$deb" Depends)"
missing=()
for runtime in libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libqwt-qt5-6 libusb-0.1-4; do
  grep -q "\b$runtime\b" <<<"$depends" || missing+=("$runtime")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "package.sh: $deb does not declare: ${missing[*]} (Depends: $depends)" >&2
  exit 1
fi
echo "package.sh: $deb"
echo "package.sh: Depends: $depends"
