#!/usr/bin/env bash
# Faults an operator met on a real desk, each in a real window: another locale's dates, a
# new account without ~/.local, bad lines in the record files, a count far beyond 80, a
# FIFO for a file, and a second copy with its own runtime directory.
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y
start_tray

fresh_desk() {
  rm -rf "$KV_DATA"
  prepare_desk "$@"
}
register_with() { # count, then lines 1.. of the register
  local reg=("$@")
  while [ ${#reg[@]} -lt 559 ]; do reg+=(""); done
  write_lines "$KV_DATA/Zorbelayarms.dll" "${reg[@]}"
}
dismiss_alert() { # expected text (a pattern)
  local text
  text=$(wait_alert) || fail "no message box (expected '$1')"
  [[ "$text" == $1 ]] || fail "the message says '$text', not '$1'"
  xdotool key Return
  sleep 0.4
}

echo "-- an account opened 44 minutes ago under en_US is billed 44 minutes"
fresh_desk 2
opened=$(date -d '-44 min -5 sec' '+%-m/%-d/%y|%-I:%M:%S %p')
register_with 2 "${opened%|*}" "${opened#*|}" 1000000
start_program -u LC_ALL LANG=en_US.UTF-8
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
click_object "list item" "Masa 1"
click_object "push button" "/^Ücret Hesapla/"
minutes=$(a11y_filled "Toplam Süre(dk):")
shot faults-en-us-bill
[ "$minutes" = 44 ] || fail "billed $minutes minutes instead of 44"
stop_program

echo "-- a new account without ~/.local starts and writes its defaults"
newhome="$KV_WORK/newhome"
mkdir -p "$newhome"
start_program -u XDG_DATA_HOME HOME="$newhome"
dismiss_alert "Masa bilgilerinizi girmek için*"
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window on a new account"
[ "$(stat -c %s "$newhome/.local/share/Kelvora/Zorbelayar.dll")" -eq 45 ] || fail "no default settings"
[ "$(stat -c %s "$newhome/.local/share/Kelvora/Zorbelayarms.dll")" -eq 1119 ] || fail "no default register"
stop_program

echo "-- settings line 0 '12a': the icon still shows, and shows and ends the program"
fresh_desk 2
write_lines "$KV_DATA/Zorbelayar.dll" 12a T "" Masa 0 "" "" "" "" "" "" "" "" "" "" ""
start_program
dismiss_alert "'12a' is not a valid integer value"
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
icon=$(find_icon) || fail "no icon after the start-up error"
close_window "$MAIN_TITLE"
wait_no_window "$MAIN_TITLE" || fail "closing did not hide the window"
read -r iw ih < <(xwininfo -id "$icon" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
click_at "$icon" $((iw / 2)) $((ih / 2)) 2
wait_window "$MAIN_TITLE" >/dev/null || fail "the icon did not bring the window back"
move_to "$icon" $((iw / 2)) $((ih / 2))
xdotool click 3
sleep 0.6
xdotool key Up Return
wait_ended "Çıkış did not end the program"

echo "-- Kaydet with an empty unit fee changes nothing"
fresh_desk 2
before=$(md5sum <"$KV_DATA/Zorbelayar.dll")
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
click_object "menu item" "Ayarlar"
xdotool key Down Return
settings=$(wait_window '^Ayarlar$') || fail "no settings window"
read -r bx by < <(a11y field "Birim Ücret") || fail "no unit fee box"
xdotool mousemove --sync "$bx" "$by" click 1
xdotool key ctrl+a BackSpace
click_object "push button" "Kaydet"
dismiss_alert "Birim ücreti girin!"
[ "$(md5sum <"$KV_DATA/Zorbelayar.dll")" = "$before" ] || fail "the settings file changed"
stop_program

echo "-- after a register count 'abc', adding an extra keeps the price list"
fresh_desk 2 Çay 15 Tost 40
register_with abc
start_program
dismiss_alert "'abc' is not a valid integer value"
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
click_object "menu item" "Ayarlar"
xdotool key Down Return
wait_window '^Ayarlar$' >/dev/null || fail "no settings window"
click_object "page tab" "Extralar Ücret Bilgileri"
type_into "Extra Türü:" Su
type_into "Ücreti:" 10
click_object "push button" "Ekle"
shot faults-extra-added
got=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarex.dll" | tr -d '\r' | paste -sd '|')
[ "$got" = "Çay|15|Tost|40|Su|10" ] || fail "the price list holds '$got'"
stop_program

echo "-- a second copy with its own runtime directory writes nothing and ends"
fresh_desk 2
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
snapshot() { (cd "$KV_DATA" && find . -printf '%p %s %T@\n' | sort); }
# The first copy opens and checks its ledger after its first paint: wait until it is done
# with the directory, so that only the second copy could change it.
before=$(snapshot)
for _ in $(seq 1 30); do
  sleep 0.3
  now=$(snapshot)
  [ "$now" = "$before" ] && break
  before=$now
done
other="$KV_WORK/run2"
mkdir -p "$other" && chmod 700 "$other"
status=0
XDG_RUNTIME_DIR="$other" timeout 10 "$KV_BIN" >/dev/null 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second copy ended with status $status"
[ "$(snapshot)" = "$before" ] || fail "the second copy touched the data directory"
kill -0 "$KV_PID" || fail "the first copy ended"
stop_program

echo "-- a count of 2147483647 lists 80 tables, quickly"
fresh_desk 2
register_with 2147483647
start_program
dismiss_alert "Masa sayısı 2147483647 olamaz; en fazla 80 masa listelendi."
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
tables=$(a11y names "list item")
[ "$(grep -c '^Masa ' <<<"$tables")" -eq 80 ] || fail "not 80 tables"
click_object "list item" "Masa 1"
panels=$(a11y names "panel")
grep -qx 'Masa Bilgileri  (Masa 1)' <<<"$panels" || fail "the window does not respond"
stop_program

echo "-- a FIFO in place of the settings file"
fresh_desk 2
rm "$KV_DATA/Zorbelayar.dll"
mkfifo "$KV_DATA/Zorbelayar.dll"
start_program
dismiss_alert "Cannot open file *Zorbelayar.dll"
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window after the FIFO"
click_object "menu item" "Hakkında"
xdotool key Down Return
about=$(wait_window '^Hakkında$') || fail "the window does not respond"
xdotool key Return
[ -p "$KV_DATA/Zorbelayar.dll" ] || fail "the FIFO was replaced"
stop_program
echo "-- the settings window and the picker open where they opened the first time"
fresh_desk 1 Çay 15
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
place() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'; }
places=()
for _ in 1 2; do
  click_object "menu item" "Ayarlar"
  xdotool key Down Return
  settings=$(wait_window '^Ayarlar$') || fail "no settings window"
  sleep 0.3
  places+=("settings $(place "$settings")")
  xdotool key Escape
  wait_no_window '^Ayarlar$' || fail "the settings window did not close"
done
click_object "list item" "Masa 1"
for _ in 1 2; do
  click_object "list item" "Eklemek İçin Çift Tıklayın" 2
  picker=$(wait_window '^Listeden Extra Seçin$') || fail "no picker"
  sleep 0.3
  places+=("picker $(place "$picker")")
  xdotool key Escape
  wait_no_window '^Listeden Extra Seçin$' || fail "the picker did not close"
done
[ "$(printf '%s\n' "${places[@]}" | sort -u | wc -l)" -eq 2 ] || fail "windows moved: ${places[*]}"
stop_program
echo "PASS: faults in a real window"
