#!/usr/bin/env bash
# Only one copy runs: a second start brings the running copy forward (restoring it when
# minimised, showing it when hidden in the notification area, raised and focused) and ends
# with status 0 without touching any record file; a copy killed outright does not block the
# next start.
source "$(dirname "$0")/x11lib.sh" "$@"

start_tray
prepare_desk 3
start_program
first=$KV_PID
main=$(wait_window "$MAIN_TITLE") || fail "no main window"

snapshot() { (cd "$KV_DATA" && find . -printf '%p %s %T@\n' | sort && cat ./*.dll | md5sum); }
second_copy() {
  local before status=0
  before=$(snapshot)
  timeout 10 "$KV_BIN" >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "the second copy ended with status $status"
  [ "$(snapshot)" = "$before" ] || fail "the second copy touched the data directory"
  [ "$(xdotool search --onlyvisible --name "$MAIN_TITLE" | wc -l)" -le 1 ] || fail "a second main window"
}
minimised() { xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
# Waits until the main window is shown and has the focus.
wait_focused() {
  for _ in $(seq 1 50); do
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] && return 0
    sleep 0.1
  done
  return 1
}

# The window manager may still be taking the new window in: ask until it is minimised.
for _ in $(seq 1 150); do
  xdotool windowminimize "$main" 2>/dev/null || true
  sleep 0.1
  minimised && break
done
minimised || fail "could not minimise the first copy"
second_copy
for _ in $(seq 1 30); do minimised || break; sleep 0.1; done
! minimised || fail "the running copy was not restored"
wait_focused || fail "the restored copy does not have the focus"
shot single-restored

# Hidden in the notification area, with another window in front: shown, raised, focused.
close_window "$MAIN_TITLE"
wait_no_window "$MAIN_TITLE" || fail "closing did not hide the window"
xmessage -center "in front" >/dev/null 2>&1 &
other=$!
KV_PIDS+=($other)
front=$(wait_window '^xmessage$') || fail "no other window"
xdotool windowactivate --sync "$front" >/dev/null 2>&1 || true
second_copy
wait_window "$MAIN_TITLE" >/dev/null || fail "the hidden copy was not shown"
wait_focused || fail "the shown copy does not have the focus"
shot single-shown-from-tray
kill "$other"
kill -0 "$first" || fail "the first copy ended"

# A copy killed outright leaves its lock behind; the next start takes it over.
kill -9 "$first"
wait "$first" 2>/dev/null || true
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "a stale lock blocked the next start"
echo "PASS: single instance"
