#!/usr/bin/env bash
# Regenerates the fuzz seeds into a scratch folder and compares them with the
# committed corpus: a format change that would leave the fuzzers starting from
# stale files fails here. Usage: check_seeds.sh <orvel-fuzz-seeds> <corpus folder>
set -euo pipefail
generator="$1"
corpus="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$generator" "$scratch"
if ! diff -r "$scratch" "$corpus"; then
  echo "The committed seeds differ from what the writers produce now; regenerate them with"
  echo "  build/tools/fuzzseeds/orvel-fuzz-seeds fuzz/corpus"
  exit 1
fi
echo "fuzz seeds are current"
