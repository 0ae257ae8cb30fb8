# Shared by the real-window checks: an X server with a window manager, a fresh data
# directory, and small helpers to find, click and photograph windows.
# Usage in a check: source "$(dirname "$0")/x11lib.sh" "$@"
set -euo pipefail

KV_BIN="$1"
KV_ATSPI=/usr/libexec/at-spi-bus-launcher
if [ -z "${KV_IN_XVFB:-}" ]; then
  for tool in xvfb-run xdotool wmctrl openbox import trayer xwininfo xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is not installed; this check needs a real X display (Xvfb)."
      exit 77
    fi
  done
  export KV_IN_XVFB=1
  # A check may ask for a bigger screen (KV_SCREEN=WxHxD), e.g. for a scaled-up window.
  screen="-screen 0 ${KV_SCREEN:-1024x768x24}"
  # A session bus of its own carries the accessibility tree, where the checks read results.
  if command -v dbus-run-session >/dev/null 2>&1 && [ -x "$KV_ATSPI" ]; then
    exec xvfb-run -a -s "$screen" dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'fd limit' >&2)
  fi
  exec xvfb-run -a -s "$screen" bash "$0" "$@"
fi

KV_WORK=$(mktemp -d)
export XDG_DATA_HOME="$KV_WORK/data" XDG_RUNTIME_DIR="$KV_WORK/run" HOME="$KV_WORK/home"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
KV_DATA="$XDG_DATA_HOME/Kelvora"
KV_SHOTS="${KV_SHOTS:-$(pwd)/shots}"
mkdir -p "$KV_SHOTS"
KV_PIDS=()

kv_cleanup() {
  for p in "${KV_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$KV_WORK"
}
trap kv_cleanup EXIT

fail() {
  echo "FAIL: $*"
  # What the screen showed, and any message the program had up, to see why.
  import -window root "$KV_SHOTS/FAILED-$(basename "$0" .sh).png" 2>/dev/null &&
    echo "screenshot: $KV_SHOTS/FAILED-$(basename "$0" .sh).png"
  [ -s "$KV_WORK/openbox.log" ] && echo "openbox said: $(tail -n 3 "$KV_WORK/openbox.log")"
  if [ -n "${QT_LINUX_ACCESSIBILITY_ALWAYS_ON:-}" ]; then
    local alert
    alert=$(timeout 10 /usr/bin/python3 "$A11Y" alert 2>/dev/null) && echo "message box: $alert"
  fi
  exit 1
}

# The window manager. Once in a few dozen runs on a busy machine it was found gone (nothing
# owning the root's check window): it is then started again, and what it said is kept.
wm_running() {
  local id
  id=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')
  [ -n "$id" ] && xprop -id "$id" _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1
}
window_manager() {
  wm_running && return 0
  [ -n "${KV_WM:-}" ] && echo "NOTE: no window manager (openbox $(kill -0 "$KV_WM" 2>/dev/null && echo running || echo gone)); starting it again"
  for _ in $(seq 1 300); do
    # Started again whenever it is gone: it also gives up when the display is not ready yet.
    if [ -z "${KV_WM:-}" ] || ! kill -0 "$KV_WM" 2>/dev/null; then
      openbox >>"$KV_WORK/openbox.log" 2>&1 &
      KV_WM=$!
      KV_PIDS+=($KV_WM)
    fi
    wm_running && return 0
    sleep 0.1
  done
  fail "no window manager: $(tail -n 3 "$KV_WORK/openbox.log" 2>/dev/null)"
}
window_manager
if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ -x "$KV_ATSPI" ]; then
  "$KV_ATSPI" --launch-immediately >/dev/null 2>&1 &
  KV_PIDS+=($!)
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi

# The accessibility tree: a11y.py reads it (see there). Checks that need it call need_a11y.
A11Y="$(dirname "${BASH_SOURCE[0]}")/a11y.py"
need_a11y() {
  if [ -z "${QT_LINUX_ACCESSIBILITY_ALWAYS_ON:-}" ] || ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: the accessibility bus (at-spi2-core, dbus, python3-pyatspi) is missing."
    exit 77
  fi
}
a11y() { /usr/bin/python3 "$A11Y" "$@"; }
# The label after TEXT once it holds something: a slow build fills it after the click returns.
a11y_filled() {
  local value=
  for _ in $(seq 1 50); do
    value=$(a11y after "$1") && [ -n "$value" ] && break
    sleep 0.1
  done
  echo "$value"
}
# Types into the text box that follows a caption, replacing what it holds.
type_into() {
  local x y
  read -r x y < <(a11y field "$1") || fail "no text box after '$1'"
  xdotool mousemove --sync "$x" "$y" click 1
  sleep 0.2
  # xdotool types a letter outside the keyboard map (ü) by remapping a key for it, and on a
  # busy machine the letter is now and then lost: what the box holds is checked, and typed
  # again.
  for _ in 1 2 3; do
    xdotool key ctrl+a
    xdotool type --delay 40 "$2"
    sleep 0.2
    [ "$(a11y value "$1")" = "$2" ] && return 0
    echo "NOTE: '$1' holds '$(a11y value "$1")' after typing '$2'; typed again"
  done
  fail "'$1' does not take '$2'"
}
# Clicks the centre of an accessible object, found by role and name; count 2 double-clicks.
click_object() {
  local role=$1 name=$2 count=${3:-1} x y
  read -r x y < <(a11y center "$role" "$name") || fail "no $role '$name' on the screen"
  xdotool mousemove --sync "$x" "$y"
  sleep 0.2
  xdotool click --repeat "$count" --delay 80 1
  sleep 0.4
}
# Waits until the program shows a message box, and prints its text.
wait_alert() {
  local text
  for _ in $(seq 1 150); do
    text=$(a11y alert 2>/dev/null) && { echo "$text"; return 0; }
    sleep 0.2
  done
  return 1
}

# A notification area at the bottom right; the program looks for one only at start.
start_tray() {
  trayer --edge bottom --align right --widthtype pixel --width 48 --height 32 >/dev/null 2>&1 &
  KV_PIDS+=($!)
  for _ in $(seq 1 100); do
    xdotool search --classname trayer >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 0.5 # the window comes just before it owns the tray selection
}

# Writes record lines as Windows-1254 with CR LF, as the program does.
write_lines() {
  local path=$1
  shift
  mkdir -p "$(dirname "$path")"
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t WINDOWS-1254 >"$path"
}

# A data directory with N tables, unit fee 1000000 and the given catalogue lines.
prepare_desk() {
  local tables=$1
  shift
  write_lines "$KV_DATA/Zorbelayar.dll" 1000000 T "" Masa 0 "" "" "" "" "" "" "" "" "" "" ""
  local reg=("$tables")
  for _ in $(seq 1 558); do reg+=(""); done
  write_lines "$KV_DATA/Zorbelayarms.dll" "${reg[@]}"
  if [ $# -gt 0 ]; then write_lines "$KV_DATA/Zorbelayarex.dll" "$@"; else : >"$KV_DATA/Zorbelayarex.dll"; fi
  mkdir -p "$KV_DATA/Masa Extraları"
}

# Starts the program; arguments are extra environment settings (NAME=value, -u NAME).
# Four tables and a price list of three; Masa 2 open for 107 minutes with all three booked.
prepare_busy_desk() {
  local ago reg
  ago=$(date -d '-107 min' '+%-d.%m.%Y %H:%M:%S')
  prepare_desk 4 "Çay" 15000 "Türk Kahvesi" 35000 "Ayran" 12000
  reg=(4 "" "" "" "${ago% *}" "${ago#* }" 1000000)
  while [ ${#reg[@]} -lt 559 ]; do reg+=(""); done
  write_lines "$KV_DATA/Zorbelayarms.dll" "${reg[@]}"
  write_lines "$KV_DATA/Masa Extraları/Masa 2.msex" "Çay" 15000 "Türk Kahvesi" 35000 "Ayran" 12000
}
start_program() {
  window_manager
  env "$@" "$KV_BIN" >"$KV_WORK/program.log" 2>&1 &
  KV_PID=$!
  KV_PIDS+=($KV_PID)
}

# Waits up to 15 s for the program to end; fails with MESSAGE when it does not.
wait_ended() {
  for _ in $(seq 1 150); do
    kill -0 "$KV_PID" 2>/dev/null || return 0
    sleep 0.1
  done
  fail "$1"
}
# Asks the window manager to close a window, as its close box does.
close_window() {
  window_manager
  wmctrl -c "$1"
}

stop_program() {
  kill "$KV_PID" 2>/dev/null || true
  wait "$KV_PID" 2>/dev/null || true
}

# The program's icon in the notification area; prints its window id.
find_icon() {
  local icon="" width
  for _ in $(seq 1 150); do
    for w in $(xdotool search --classname kelvora 2>/dev/null); do
      width=$(xwininfo -id "$w" | awk '/Width/ {print $NF}')
      [ "$(xdotool getwindowname "$w")" = "Kelvora" ] && [ "$width" -le 48 ] && icon=$w
    done
    [ -n "$icon" ] && { echo "$icon"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits for a visible window whose title matches the pattern; prints its id.
wait_window() {
  local pattern=$1 id=""
  # Up to 20 s: a start beside the heavier tests of the suite can take that long.
  for _ in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

wait_no_window() {
  local pattern=$1
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Origin of a window's client area on the screen: "X Y".
window_origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

# A window's frame on the screen: "X Y W H".
frame_geometry() {
  local x y w h l r t b
  read -r x y w h < <(xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width/ {w=$NF} /Height/ {h=$NF} END {print x, y, w, h}')
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',') || true
  echo $((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))
}

# Clicks (or double-clicks with "2") at a point relative to a window's client area.
click_at() {
  local win=$1 x=$2 y=$3 count=${4:-1}
  read -r ox oy < <(window_origin "$win")
  xdotool mousemove --sync $((ox + x)) $((oy + y))
  sleep 0.2
  xdotool click --repeat "$count" --delay 80 1
  sleep 0.4
}

move_to() {
  local win=$1 x=$2 y=$3
  read -r ox oy < <(window_origin "$win")
  xdotool mousemove --sync $((ox + x)) $((oy + y))
  sleep 0.2
}

# Clicks the bottom-centre button of a dialog ("Tamam").
click_bottom_button() {
  local win=$1 offset=$2
  read -r w h < <(xwininfo -id "$win" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
  click_at "$win" $((w / 2)) $((h - offset))
}

# Sends keys to a window once it is the active one (a busy window manager may lag behind).
keys_to() {
  local win=$1
  shift
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  for _ in $(seq 1 50); do
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$win" ] && break
    sleep 0.1
  done
  xdotool key "$@"
}

press_enter() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  sleep 0.2
  xdotool key Return
  sleep 0.3
}

shot() {
  sleep 0.5
  import -window root "$KV_SHOTS/$1.png"
  echo "screenshot: $KV_SHOTS/$1.png"
}

# Photographs one window with its frame, cut out of the screen: NAME WINDOW.
shot_window() {
  local x y w h l r t b
  sleep 0.5
  read -r x y w h < <(xwininfo -id "$2" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width/ {w=$NF} /Height/ {h=$NF} END {print x, y, w, h}')
  read -r l r t b < <(xprop -id "$2" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',') || true
  import -window root -crop "$((w + ${l:-0} + ${r:-0}))x$((h + ${t:-0} + ${b:-0}))+$((x - ${l:-0}))+$((y - ${t:-0}))" \
    +repage "$KV_SHOTS/$1.png"
  echo "screenshot: $KV_SHOTS/$1.png"
}

MAIN_TITLE='Kelvora v3.0'
