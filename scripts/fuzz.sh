#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own folder (build-fuzz, only
# what the targets need) and runs each on its seed corpus for a given time.
#
#   scripts/fuzz.sh [--if-available] [seconds per target, default 20] [target...]
#
# Without targets every fuzz/<name>_fuzz.cpp runs, with the tokens of
# fuzz/dict/<name>.dict when there is one. Inputs that reach new code
# are kept in build-fuzz/corpus/<target>/, so later runs go on from there; the
# committed seeds in fuzz/corpus/ are only read. A crash, a failed check or a
# hang leaves its input in build-fuzz/artifacts/ and the log in
# build-fuzz/logs/, and makes the script fail once every target has run.
# With --if-available, a machine without clang's libFuzzer runtime skips the
# pass with a message instead of failing.
set -euo pipefail
cd "$(dirname "$0")/.."

optional=0
if [ "${1:-}" = "--if-available" ]; then
  optional=1
  shift
fi
seconds="${1:-20}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

probe_dir="$(mktemp -d)"
trap 'rm -rf "$probe_dir"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe_dir/probe.cpp"
if ! command -v clang++ >/dev/null || ! clang++ -fsanitize=fuzzer "$probe_dir/probe.cpp" -o "$probe_dir/probe" 2>/dev/null; then
  message="fuzz: clang++ with its libFuzzer runtime is not installed (Debian: clang libclang-rt-14-dev)"
  if [ "$optional" -eq 1 ]; then
    echo "$message: fuzzing pass SKIPPED"
    exit 0
  fi
  echo "$message" >&2
  exit 1
fi

dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DORVEL_FUZZ=ON >/dev/null
cmake --build "$dir" -j2 --target "${targets[@]}"

mkdir -p "$dir/artifacts" "$dir/logs"
failed=()
for target in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$target"
  log="$dir/logs/$target.log"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$dir/artifacts/$target-")
  [ -f "fuzz/dict/$target.dict" ] && options+=(-dict="fuzz/dict/$target.dict")
  status=0
  "$dir/fuzz/$target" "${options[@]}" "$dir/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  corpus="$(find "$dir/corpus/$target" -type f | wc -l)"
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $target: ${runs:-?} executions in ${seconds} s (${rate:-?}/s), ${corpus} inputs in its corpus: OK"
  else
    echo "fuzz: $target: FAILED (exit $status) after ${runs:-?} executions; see $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|.*runtime error)' "$log" | head -5 || true
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}; crash inputs in $dir/artifacts/" >&2
  exit 1
fi
