#!/usr/bin/env bash
# Start-up and memory of Kelvora against a bare Qt window, in one run: time from just before
# the process starts to its main window's first complete frame, and its peak resident
# memory (VmHWM) 300 ms after that frame. Both programs are started alternately, under Xvfb
# (xcb, with a window manager) and on the offscreen platform; Kelvora over 80 open tables
# a catalogue of 500 extras and a ledger of 100,000 bills. Builds nothing: the tools must be in the build directory.
# Usage: bench/compare-startup.sh BUILD_DIR [RUNS]   (RUNS per program and platform, >= 10)
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR [RUNS]}" && pwd)
runs=${2:-10}
kelvora="$build/app/kelvora"
bare="$build/bench/kelvora_bare"
launch="$build/bench/kelvora_launch"
makedata="$build/bench/kelvora_benchdata"
probe="$build/bench/kelvora_startprobe"
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
  # A session bus as on a desktop: without one, Qt's first query for a notification area
  # starts a bus of its own (dbus-launch), which later starts then reuse.
  bus=()
  command -v dbus-run-session >/dev/null 2>&1 && bus=(dbus-run-session --)
  exec xvfb-run -a -s "-screen 0 1024x768x24" "${bus[@]}" bash "$0" "$@"
fi
echo "session bus: ${DBUS_SESSION_BUS_ADDRESS:-none (Qt starts its own at the first start)}"

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
# Present data, so that no first-start message box appears, with the ledger of 100,000
# settled bills.
"$makedata" "$XDG_DATA_HOME/Kelvora" 100000
ls -l "$XDG_DATA_HOME/Kelvora/Defter.db"

openbox >/dev/null 2>&1 &
pids+=($!)
# The xcb figures mean something only with a window manager framing the windows.
wm=""
for _ in $(seq 1 100); do
  wm=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')
  [ -n "$wm" ] && xprop -id "$wm" >/dev/null 2>&1 && break
  wm=""
  sleep 0.1
done
[ -n "$wm" ] || { echo "no window manager came up (openbox)" >&2; exit 1; }

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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2fx", a/b}'; }
echo "Start-up: $runs runs each, medians. first paint: ms from just before the process starts"
echo "to its first complete frame; CPU: CPU time used by then; peak: VmHWM 300 ms later."
printf '%-10s %-8s %12s %7s %10s %7s %10s %7s\n' platform program "first paint" ratio "CPU" ratio \
  "peak MiB" ratio
for platform in xcb offscreen; do
  kp=$(field "$platform" kelvora first_paint_ms | median)
  bp=$(field "$platform" bare first_paint_ms | median)
  kc=$(field "$platform" kelvora cpu_ms | median)
  bc=$(field "$platform" bare cpu_ms | median)
  km=$(field "$platform" kelvora vm_hwm_kb | median)
  bm=$(field "$platform" bare vm_hwm_kb | median)
  printf '%-10s %-8s %9.1f ms %7s %7.1f ms %7s %10.1f %7s\n' "$platform" bare "$bp" "" "$bc" "" \
    "$(awk -v m="$bm" 'BEGIN {print m/1024}')" ""
  printf '%-10s %-8s %9.1f ms %7s %7.1f ms %7s %10.1f %7s\n' "$platform" kelvora "$kp" \
    "$(ratio "$kp" "$bp")" "$kc" "$(ratio "$kc" "$bc")" "$(awk -v m="$km" 'BEGIN {print m/1024}')" \
    "$(ratio "$km" "$bm")"
done
echo
echo "Every run:"
cat "$results"

# Where Kelvora's own start goes: each step of it in a fresh process, median of the runs.
if [ -x "$probe" ]; then
  for platform in xcb offscreen; do
    : >"$work/probe"
    for _ in $(seq 1 "$runs"); do
      runtime=$(mktemp -d "$work/run.XXXXXX")
      chmod 700 "$runtime"
      XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM="$platform" timeout 60 "$probe" \
        2>>"$work/probe.log" >>"$work/probe" || true
      rm -rf "$runtime"
    done
    echo
    echo "Steps of Kelvora's start on $platform, median of $runs runs (wall ms; growth of resident"
    echo "memory in kB; the first and last lines give the resident memory itself):"
    awk -F'\t' '
      function med(list,   m, a, x, y, t) {
        m = split(substr(list, 2), a, " ")
        for (x = 1; x <= m; x++) for (y = x + 1; y <= m; y++) if (a[y] + 0 < a[x] + 0) {t = a[x]; a[x] = a[y]; a[y] = t}
        return (m % 2) ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
      }
      NF == 3 {if (!($1 in ms)) order[++n] = $1; ms[$1] = ms[$1] " " $2; kb[$1] = kb[$1] " " $3}
      END {for (i = 1; i <= n; i++) printf "  %-34s %9.2f ms %9d kB\n", order[i], med(ms[order[i]]), med(kb[order[i]])}' "$work/probe"
  done
fi
