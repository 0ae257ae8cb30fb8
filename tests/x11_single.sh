#!/usr/bin/env bash
# Only one copy runs: a second start brings the running copy forward (restoring it when
# minimised, leaving it hidden in the notification area) and ends with status 0 without
# touching any record file; a copy killed outright does not block the next start.
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
shot single-restored

close_window "$MAIN_TITLE"
wait_no_window "$MAIN_TITLE" || fail "closing did not hide the window"
second_copy
sleep 0.5
! xdotool search --onlyvisible --name "$MAIN_TITLE" >/dev/null 2>&1 || fail "a hidden copy was shown"
kill -0 "$first" || fail "the first copy ended"

# A copy killed outright leaves its lock behind; the next start takes it over.
kill -9 "$first"
wait "$first" 2>/dev/null || true
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "a stale lock blocked the next start"
echo "PASS: single instance"
