#!/bin/sh
# Fails when the shared library exports anything besides the class
# orvelDevice and the four data tables, or misses one of them.
set -eu
lib="$1"
symbols=$(nm -D -C --defined-only "$lib" | sed 's/^[0-9a-f]* [A-Za-z] //')
stray=$(printf '%s\n' "$symbols" | grep -v -E '^orvelDevice::|^(V200|I200|V400|I400)$' || true)
if [ -n "$stray" ]; then
  echo "unexpected exports of $lib:"
  printf '%s\n' "$stray"
  exit 1
fi
for name in V200 I200 V400 I400 'orvelDevice::openDevice(char\*)' 'orvelDevice::getSensorData(' 'orvelDevice::getDeviceList('; do
  printf '%s\n' "$symbols" | grep -q "^$name" || { echo "missing export: $name"; exit 1; }
done
echo "exports of $lib: orvelDevice and the data tables only"
