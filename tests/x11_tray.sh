#!/usr/bin/env bash
# The notification-area icon in a real notification area: closing hides the main window,
# a double click on the icon brings it back, the icon's menu shows the about window and
# its "Çıkış" ends the program. The information windows are photographed on the way.
source "$(dirname "$0")/x11lib.sh" "$@"

need_a11y
start_tray
prepare_desk 3
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"

icon=$(find_icon) || fail "the icon did not appear in the notification area"
read -r iw ih < <(xwininfo -id "$icon" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
shot tray-main

close_window "$MAIN_TITLE"
wait_no_window "$MAIN_TITLE" || fail "closing did not hide the main window"
kill -0 "$KV_PID" || fail "closing ended the program"

click_at "$icon" $((iw / 2)) $((ih / 2)) 2
wait_window "$MAIN_TITLE" >/dev/null || fail "the icon's double click did not bring the window back"

# The icon's menu: "Hakkında" shows the about window without blocking.
move_to "$icon" $((iw / 2)) $((ih / 2))
xdotool click 3
sleep 0.6
shot tray-menu
xdotool key Down Return
about=$(wait_window '^Hakkında$') || fail "the icon's menu did not open the about window"
shot about-window
click_bottom_button "$about" 26
wait_no_window '^Hakkında$' || fail "Tamam did not close the about window"

# The main menu opens the planned-features window.
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
click_object "menu item" "Hakkında"
xdotool key Down Down Return
planned=$(wait_window '^İleriki Sürümde Olacaklar$') || fail "the planned-features window did not open"
shot planned-window
click_bottom_button "$planned" 16
wait_no_window '^İleriki Sürümde Olacaklar$' || fail "Tamam did not close the planned-features window"

# "Çıkış" from the icon's menu ends the program.
move_to "$icon" $((iw / 2)) $((ih / 2))
xdotool click 3
sleep 0.6
xdotool key Up Return
wait_ended "Çıkış did not end the program"
wait "$KV_PID" || fail "the program ended with status $?"
echo "PASS: notification-area icon"
