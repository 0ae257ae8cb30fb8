#!/usr/bin/env bash
# Builds the record-list fuzzer with clang and runs it for a while from the seed corpus.
# Usage: tests/fuzz/run-fuzz.sh [BUILD_DIR] ; FUZZ_SECONDS sets the run time (60).
# Inputs found on the way go to BUILD_DIR/corpus, a failing input to BUILD_DIR/artifacts.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(mkdir -p "${1:-$repo/build-fuzz}" && cd "${1:-$repo/build-fuzz}" && pwd)
seconds=${FUZZ_SECONDS:-60}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "SKIP: clang/libFuzzer missing (no clang++; Debian packages clang, libclang-rt-14-dev)"
  exit 77
fi
probe="$build/probe"
if ! printf 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }\n' |
  clang++ -x c++ -fsanitize=fuzzer - -o "$probe" >"$probe.log" 2>&1; then
  cat "$probe.log"
  echo "SKIP: clang/libFuzzer missing (no fuzzer runtime; Debian package libclang-rt-14-dev)"
  exit 77
fi
rm -f "$probe" "$probe.log"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build "$build" -j "${FUZZ_BUILD_JOBS:-2}" --target fuzz_recordlist

mkdir -p "$build/corpus" "$build/artifacts"
rm -f "$build/artifacts/"*
cd "$build"
status=0
# One process, one thread: the rest of the test suite runs beside it. A failure must not
# exit with libFuzzer's default 77, which CTest reads as skipped.
ASAN_OPTIONS=abort_on_error=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ./fuzz_recordlist -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -error_exitcode=1 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  "$build/corpus" "$repo/tests/fuzz/corpus" || status=$?

shopt -s nullglob
found=("$build"/artifacts/*)
if [ "$status" -ne 0 ] || [ ${#found[@]} -gt 0 ]; then
  echo "FAIL: the fuzzer stopped with status $status"
  for f in "${found[@]}"; do
    echo "Reproducer: $f ($(stat -c %s "$f") bytes); run again with:"
    echo "  $build/fuzz_recordlist $f"
    od -A d -t x1 -v "$f" | head -n 32
  done
  exit 1
fi
echo "PASS: no failure in ${seconds}s"
