#!/usr/bin/env bash
# Start-up and memory of Kelvora against a bare Qt window, in one run: time from just before
# the process starts to its main window's first complete frame, and its peak resident
# memory (VmHWM) 300 ms after that frame. Both programs are started alternately, under Xvfb
# (xcb, with a window manager) and on the offscreen platform; Kelvora over 80 open tables
# and a catalogue of 500 extras. Builds nothing: the tools must be in the build directory.
# Usage: bench/compare-startup.sh BUILD_DIR [RUNS]   (RUNS per program and platform, >= 10)
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [RUNS]}" && pwd)
runs=${2:-10}
kelvora="$build/app/kelvora"
bare="$build/bench/kelvora_bare"
launch="$build/bench/kelvora_launch"
makedata="$build/bench/kelvora_benchdata"
for tool in "$kelvora" "$bare" "$launch" "$makedata"; do
  [ -x "$tool" ] || { echo "missing $tool: build the targets kelvora and bench/ first" >&2; exit 2; }
done

if [ -z "${KV_IN_XVFB:-}" ]; then
  for tool in xvfb-run openbox xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed; the comparison needs Xvfb and a window manager."
      exit 77
    fi
  done
  export KV_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_DATA_HOME="$work/data" HOME="$work/home" LC_ALL=C.UTF-8
mkdir -p "$XDG_DATA_HOME" "$HOME"
# Present data, so that no first-start message box appears.
"$makedata" "$XDG_DATA_HOME/Kelvora"
# The ledger of settled bills (100,000 bills) goes here once the program keeps one.
prepare_ledger() { :; }
prepare_ledger

openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

results="$work/results"
: >"$results"
# run_one PLATFORM NAME PROGRAM [count]: one start; its own runtime directory, since the
# program runs once per user and keeps its lock there.
run_one() {
  local platform=$1 name=$2 program=$3 count=${4:-yes}
  local runtime line
  runtime=$(mktemp -d "$work/run.XXXXXX")
  chmod 700 "$runtime"
  line=$(XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM="$platform" \
    "$launch" --settle-ms 300 --log "$work/$name-$platform.log" -- "$program")
  rm -rf "$runtime"
  [ "$count" = yes ] && echo "$platform $name $line" >>"$results"
  return 0
}

# One start of each first, not counted: fills the disk cache and the font cache.
for platform in xcb offscreen; do
  run_one "$platform" kelvora "$kelvora" no
  run_one "$platform" bare "$bare" no
done

for i in $(seq 1 "$runs"); do
  # Alternated, and the order reversed every other round.
  if [ $((i % 2)) -eq 1 ]; then order="kelvora bare"; else order="bare kelvora"; fi
  for platform in xcb offscreen; do
    for name in $order; do
      if [ "$name" = kelvora ]; then run_one "$platform" kelvora "$kelvora"; else run_one "$platform" bare "$bare"; fi
    done
  done
  echo "round $i of $runs done" >&2
done

median() { sort -g | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
field() { # field PLATFORM NAME KEY
  awk -v p="$1" -v n="$2" -v k="$3" '$1==p && $2==n {for (i=3;i<=NF;i++) {split($i,a,"="); if (a[1]==k) print a[2]}}' "$results"
}

echo
echo "Start-up: $runs runs each, medians (first paint: ms from process start; memory: peak RSS)"
printf '%-10s %-8s %14s %14s %12s %12s\n' platform program "first paint" "paint ratio" "peak MiB" "mem ratio"
for platform in xcb offscreen; do
  kp=$(field "$platform" kelvora first_paint_ms | median)
  bp=$(field "$platform" bare first_paint_ms | median)
  km=$(field "$platform" kelvora vm_hwm_kb | median)
  bm=$(field "$platform" bare vm_hwm_kb | median)
  printf '%-10s %-8s %11.1f ms %14s %8.1f MiB %12s\n' "$platform" bare "$bp" "" "$(awk -v m="$bm" 'BEGIN {print m/1024}')" ""
  printf '%-10s %-8s %11.1f ms %13.2fx %8.1f MiB %11.2fx\n' "$platform" kelvora "$kp" \
    "$(awk -v a="$kp" -v b="$bp" 'BEGIN {print a/b}')" "$(awk -v m="$km" 'BEGIN {print m/1024}')" \
    "$(awk -v a="$km" -v b="$bm" 'BEGIN {print a/b}')"
done
echo
echo "Every run (platform program first_paint_ms vm_hwm_kb vm_rss_kb):"
cat "$results"
