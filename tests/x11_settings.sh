#!/usr/bin/env bash
# A new user's first evening: the start-up message, then "Ayarlar" > "Seçenekler", three
# tables made with "Masa Oluştur" (confirmed), and the table list filled on the main window.
source "$(dirname "$0")/x11lib.sh" "$@"

start_program
box=$(wait_window '^Kelvora$') || fail "no start-up message"
press_enter "$box"
main=$(wait_window "$MAIN_TITLE") || fail "no main window"

click_at "$main" 31 9                      # "Ayarlar"
xdotool key Down Return                    # "Seçenekler"
settings=$(wait_window '^Ayarlar$') || fail "the settings window did not open"
click_at "$settings" 345 102               # the table count
xdotool key ctrl+a
# A refused key says why at the box, and takes no key from it: the "3" after it lands.
xdotool type --delay 50 'x3'
if [ -n "${QT_LINUX_ACCESSIBILITY_ALWAYS_ON:-}" ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  read -r _ hy < <(a11y center label 'Yalnızca rakam girilebilir') || fail "the refused key showed no hint"
  read -r _ oy < <(window_origin "$settings")
  [ "$hy" -gt $((oy + 102)) ] || fail "the hint is not under the table count (y $hy)"
fi
shot settings-refused-key
click_at "$settings" 439 202               # "Masa Oluştur"
question=$(wait_window '^Kelvora$') || fail "Masa Oluştur did not ask first"
read -r qw qh < <(xwininfo -id "$question" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
shot settings-question
click_at "$question" $((qw - 138)) $((qh - 23))   # "Evet"
done_box=$(wait_window '^Kelvora$') || fail "no message after making the tables"
shot settings-tables-made
press_enter "$done_box"
wait_no_window '^Kelvora$' || fail "the message did not close"
read -r sw sh < <(xwininfo -id "$settings" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
click_at "$settings" $((sw - 65)) $((sh - 24))   # "Çıkış"
wait_no_window '^Ayarlar$' || fail "Çıkış did not close the settings window"
shot settings-main-with-tables

first_lines=$(tr -d '\r' <"$KV_DATA/Zorbelayarms.dll" | head -n 1)
[ "$first_lines" = "3" ] || fail "register line 0 is '$first_lines'"
prefix=$(tr -d '\r' <"$KV_DATA/Zorbelayar.dll" | sed -n 4p)
[ "$prefix" = "Masa" ] || fail "settings line 3 is '$prefix'"
echo "PASS: tables made through the settings window"
