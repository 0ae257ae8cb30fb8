#!/usr/bin/env bash
# First start on an empty disk, in a real window: the data directory and its default files
# are made, the start-up message appears once, the table list is empty.
source "$(dirname "$0")/x11lib.sh" "$@"

start_program
box=$(wait_window '^Kelvora$') || fail "the start-up message did not appear"
shot firststart-message
[ "$(xdotool search --onlyvisible --name '^Kelvora$' | wc -l)" -eq 1 ] || fail "more than one message"
press_enter "$box"
wait_no_window '^Kelvora$' || fail "the message did not close"
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
shot firststart-main

[ -d "$KV_DATA/Masa Extraları" ] || fail "no extras directory"
[ "$(stat -c %s "$KV_DATA/Zorbelayar.dll")" -eq 45 ] || fail "settings file is not 45 bytes"
[ "$(stat -c %s "$KV_DATA/Zorbelayarms.dll")" -eq 1119 ] || fail "register is not 1119 bytes"
[ "$(stat -c %s "$KV_DATA/Zorbelayarex.dll")" -eq 0 ] || fail "catalogue is not empty"
[ ! -e "$KV_DATA/Zorbelçokluücret.dll" ] || fail "a fee list was made"
[ -z "$(ls -A "$KV_DATA/Masa Extraları")" ] || fail "a table extras file was made"
printf '1000000\r\nT\r\n\r\nMasa\r\n0\r\n' | cmp -s - <(head -c 23 "$KV_DATA/Zorbelayar.dll") ||
  fail "settings file does not start with the defaults"
# No second message came while the window was up.
sleep 1
! xdotool search --onlyvisible --name '^Kelvora$' >/dev/null 2>&1 || fail "a second message appeared"
echo "PASS: first start"
