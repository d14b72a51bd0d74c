#!/usr/bin/env bash
# Checks an installed Orvel in a scratch root: ROOT is a staging folder of
# `cmake --install` or a Debian package unpacked with `dpkg -x`, PREFIX the
# install prefix inside it (default /usr). It checks that the files are in
# place, that the desktop entry and the session file type validate and that
# the MIME database built from them knows .ldf files by name and by content,
# and that the installed programs run on the installed library.
#
#   scripts/check-install.sh ROOT [PREFIX]
#
# Needs desktop-file-utils, shared-mime-info and binutils (scripts/install-deps.sh).
set -euo pipefail
root="$(cd "$1" && pwd)"
prefix="${2:-/usr}"
top="$root$prefix"
failures=0
fail() {
  echo "check-install: $*" >&2
  failures=$((failures + 1))
}
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

for file in bin/Orvel bin/orvel-cli bin/orvel-sensors bin/orvel-simdrive \
    include/OrvelDevice/orvelDevice.h lib/udev/rules.d/70-orvel.rules \
    share/applications/orvel.desktop share/mime/packages/orvel.xml \
    "share/orvel/Orvel User Guide.pdf" share/man/man1/orvel-cli.1.gz; do
  [ -f "$top/$file" ] || fail "missing $prefix/$file"
done
for size in 16 22 24 32 48 64 128 256; do
  for icon in apps/orvel.png mimetypes/application-x-orvel-session.png; do
    [ -f "$top/share/icons/hicolor/${size}x${size}/$icon" ] || fail "missing icon ${size}x${size}/$icon"
  done
done

# The library under its SONAME, with the development name and pkg-config file.
library="$(find "$top" -name 'libOrvelDevice.so.1' | head -n 1)"
if [ -z "$library" ]; then
  fail "missing libOrvelDevice.so.1"
else
  libdir="$(dirname "$library")"
  readelf -d "$library" | grep -q 'SONAME.*\[libOrvelDevice\.so\.1\]' || fail "libOrvelDevice.so.1 has another SONAME"
  [ -e "$libdir/libOrvelDevice.so" ] || fail "missing libOrvelDevice.so (development name)"
  [ -f "$libdir/pkgconfig/OrvelDevice.pc" ] || fail "missing pkgconfig/OrvelDevice.pc"
fi
head -c 5 "$top/share/orvel/Orvel User Guide.pdf" 2>/dev/null | grep -q '%PDF-' || fail "the user guide is not a PDF"
gzip -t "$top/share/man/man1/orvel-cli.1.gz" 2>/dev/null || fail "the manual page is not gzip-compressed"

# Desktop entry: valid, and what it names is installed.
desktop="$top/share/applications/orvel.desktop"
if [ -f "$desktop" ]; then
  report="$(desktop-file-validate "$desktop" 2>&1)" || true
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
  [ -x "$top/bin/$program" ] || fail "the desktop entry starts '$program', which is not installed"
  grep -qx 'Icon=orvel' "$desktop" || fail "the desktop entry names another icon"
  grep -qx 'MimeType=application/x-orvel-session;' "$desktop" || fail "the desktop entry does not open sessions"
fi

# Session file type: a database built from the package alone must know it.
if [ -f "$top/share/mime/packages/orvel.xml" ]; then
  mkdir -p "$scratch/mime/packages"
  cp "$top/share/mime/packages/orvel.xml" "$scratch/mime/packages/"
  report="$(XDG_DATA_HOME="$scratch" XDG_DATA_DIRS="$scratch" update-mime-database "$scratch/mime" 2>&1)" ||
    fail "update-mime-database failed"
  [ -z "$report" ] || fail "update-mime-database: $report"
  grep -q 'application/x-orvel-session:\*\.ldf' "$scratch/mime/globs2" 2>/dev/null || fail "no *.ldf glob"
  grep -q 'measuredData.*application/x-orvel-session\|application/x-orvel-session.*measuredData' \
    "$scratch/mime/XMLnamespaces" 2>/dev/null || fail "no root element rule"
  grep -aq '<measuredData' "$scratch/mime/magic" 2>/dev/null || fail "no magic rule"
fi

# The programs, run from the tree on the tree's library, without a display.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY LD_LIBRARY_PATH="${libdir:-}" "$@" 2>&1
}
expect() {
  local wanted="$1"
  shift
  local output
  output="$(run "$@")" || fail "$(basename "$1") failed: $output"
  grep -q -- "$wanted" <<<"$output" || fail "$(basename "$1") did not say '$wanted': $output"
}
expect '^Orvel 1\.5\.0$' "$top/bin/Orvel" --version
expect '^orvel-cli 1\.5\.0$' "$top/bin/orvel-cli" --version
expect 'SIM0001' env ORVEL_SIMULATED_SENSOR=1 "$top/bin/orvel-sensors"
expect 'simulated linear drive' "$top/bin/orvel-simdrive" --help
for program in Orvel orvel-cli orvel-sensors; do
  resolved="$(run ldd "$top/bin/$program" | sed -n 's/.*libOrvelDevice\.so\.1 => \([^ ]*\).*/\1/p')"
  [ "$(readlink -f "$resolved")" = "$(readlink -f "${library:-none}")" ] ||
    fail "$program does not load the installed libOrvelDevice (got '$resolved')"
done

if [ "$failures" -gt 0 ]; then
  echo "check-install: $failures problem(s) in $root$prefix" >&2
  exit 1
fi
echo "check-install: $root$prefix: files, desktop entry, session file type and programs OK"
