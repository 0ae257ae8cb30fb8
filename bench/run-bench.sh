#!/usr/bin/env bash
# Runs kelvora_bench offscreen with its data on disk below the build directory (a data
# directory in /tmp may be in memory, where a sync costs nothing) and prints the median time
# of each operation as a table. Extra arguments go to the benchmark (e.g. a function name).
# Usage: bench/run-bench.sh BUILD_DIR [MEDIAN_RUNS] [QTEST_ARGS...]
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [MEDIAN_RUNS] [QTEST_ARGS...]}" && pwd)
median=${2:-5}
shift $(($# >= 2 ? 2 : 1))
bench="$build/bench/kelvora_bench"
[ -x "$bench" ] || { echo "missing $bench: build the target kelvora_bench first" >&2; exit 2; }

out="$build/bench/results"
mkdir -p "$out/tmp" "$out/runtime"
chmod 700 "$out/runtime"
TMPDIR="$out/tmp" XDG_RUNTIME_DIR="$out/runtime" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
  "$bench" -median "$median" -o "$out/bench.txt,txt" -o "$out/bench.csv,csv" "$@" || true
grep -E '^(FAIL|SKIP|QINFO)' "$out/bench.txt" || true

echo
echo "Median per operation ($median runs; ms). Rows 'disk' sync every save; 'tmpfs' rows run"
echo "the same on tmpfs, where the sync is a no-op."
# CSV lines: "function","tag","metric",value,iterations; tags may hold commas, so the
# fields are split at the quotes.
awk -F'"' '$6 ~ /Walltime/ {
  split($7, rest, ",")
  name = $2; if ($4 != "") name = name " [" $4 "]"
  printf "%-48s %12.4f\n", name, rest[2]
}' "$out/bench.csv"
echo
echo "Full output: $out/bench.txt"
