#!/usr/bin/env bash
# A whole evening with the program installed from its Debian package: unpacked into a
# scratch root and started from there on an empty home, with a window manager and a
# notification area. Only real X input drives it; results are read from the accessibility
# tree, the screen and the data files. First-start message, tables and an extra made in
# "Ayarlar", an account opened with Enter, the extra booked with F2, F5, F8 and
# "Ödendi, Kapat", the free table, "Gün Sonu", closed to the icon and back, "Çıkış".
# Every step is photographed as evening-NN-*.png.
# Usage: x11_evening.sh PROGRAM (the built program; the package is taken from beside it,
# or from KV_DEB_DIR).
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y
command -v dpkg-deb >/dev/null 2>&1 || {
  echo "SKIP: dpkg-deb is not installed; the package cannot be unpacked."
  exit 77
}
started=$(date +%s%N)

debs=("${KV_DEB_DIR:-$(dirname "$KV_BIN")/../tests/pkg}"/kelvora_*.deb)
[ -f "${debs[0]}" ] || fail "no package in ${KV_DEB_DIR:-$(dirname "$KV_BIN")/../tests/pkg}; pkg_deb builds it"
root="$KV_WORK/root"
dpkg -x "${debs[0]}" "$root"
KV_BIN="$root/usr/bin/kelvora"
[ -x "$KV_BIN" ] || fail "the package holds no usr/bin/kelvora"
echo "package: ${debs[0]} ($(stat -c %s "${debs[0]}") bytes)"

# An empty home of the program's own (the window manager keeps its cache in the other):
# not even the data folder's parent exists.
export HOME="$KV_WORK/evening-home" XDG_DATA_HOME="$KV_WORK/evening-home/.local/share"
KV_DATA="$XDG_DATA_HOME/Kelvora"
mkdir "$HOME"
[ ! -e "$XDG_DATA_HOME" ] || fail "the data folder exists before the first start"

n=0
step() { # photographs the screen as the next step
  n=$((n + 1))
  shot "$(printf 'evening-%02d-%s' "$n" "$1")"
}
# "1.234.567 TL", as the program writes amounts.
lira() {
  local v=$1 out=""
  while [ ${#v} -gt 3 ]; do
    out=".${v: -3}$out"
    v=${v:0:${#v}-3}
  done
  echo "$v$out TL"
}
# Waits until the open message box says TEXT.
wait_alert_text() {
  for _ in $(seq 1 50); do
    [ "$(a11y alert 2>/dev/null)" = "$1" ] && return 0
    sleep 0.2
  done
  fail "no message '$1' (open: '$(a11y alert 2>/dev/null || true)')"
}
close_alert() { # confirms the open message box with Enter
  local box
  box=$(wait_window '^Kelvora$') || fail "no message box"
  press_enter "$box"
  wait_no_window '^Kelvora$' || fail "the message did not close"
}
# Waits until the window manager has framed WINDOW and given it the focus.
activate() {
  window_manager
  for _ in $(seq 1 50); do
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] &&
      xprop -id "$1" _NET_FRAME_EXTENTS | grep -q = && return 0
    sleep 0.1
  done
  fail "window $1 never got the focus"
}
register_line() { iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarms.dll" | tr -d '\r' | sed -n "$1p"; }
# Waits for a table's row on the floor to read TEXT (the floor is refreshed every second).
wait_row() {
  local got=""
  for _ in $(seq 1 30); do
    got=$(a11y description "list item" "$1" 2>/dev/null || true)
    [ "$got" = "$2" ] && return 0
    sleep 0.2
  done
  fail "$1 reads '$got', not '$2'"
}

# The account's price at the minutes it may show: the whole minutes since it was opened
# (its time is in the register) counted at the first and the last second of a step.
fee=1000000
opened_at() {
  local d
  d=$(register_line 2)
  date -d "$(awk -F. '{printf "%04d-%02d-%02d", $3, $2, $1}' <<<"$d") $(register_line 3)" +%s
}
minutes_between() { # opened, from, to: the minute counts possible in between
  seq $((($2 - $1) / 60)) $((($3 + 1 - $1) / 60))
}

# 1. First start on the empty home: the message that asks for the tables.
window_manager
start_tray
start_program
wait_window '^Kelvora$' >/dev/null || fail "the start-up message did not appear"
wait_alert_text "Masa bilgilerinizi girmek için Ayarlar/Seçenekler sekmesi altından Masa sayınızı girin!"
step first-start
close_alert
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
[ -d "$KV_DATA/Masa Extraları" ] || fail "the data folder was not made"
[ "$(register_line 1)" = 0 ] || fail "a new register does not count 0 tables"
step empty-main

# 2. "Ayarlar" (Alt+A) > "Seçenekler" (S): six tables made from a typed count.
activate "$main"
xdotool key alt+a
for _ in $(seq 1 30); do a11y center "menu item" "Seçenekler" >/dev/null && break; sleep 0.1; done
step settings-menu
xdotool key s
settings=$(wait_window '^Ayarlar$') || fail "Seçenekler did not open the settings window"
type_into "İşlem Yapacağınız Masa Sayısı" 6
step table-count
click_object "push button" "Masa Oluştur"
wait_alert_text "Tüm masa extraları silinecek. Masalar yeniden oluşturulsun mu?"
step tables-question
click_object "push button" "Evet"
wait_alert_text "Masalar Oluşturuldu!"
close_alert
[ "$(register_line 1)" = 6 ] || fail "the register counts '$(register_line 1)' tables"

# The second tab: an extra with its price.
click_object "page tab" "Extralar Ücret Bilgileri"
type_into "Extra Türü:" "Türk Kahvesi"
type_into "Ücreti:" 35000
step extra-typed
click_object "push button" "Ekle"
sleep 0.3
catalogue=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarex.dll" | tr -d '\r' | paste -sd '|')
[ "$catalogue" = "Türk Kahvesi|35000" ] || fail "the price list holds '$catalogue'"
grep -qx "Türk Kahvesi" <<<"$(a11y names "list item")" || fail "the settings list lacks the extra"
step extra-added
click_object "push button" "Çıkış"
wait_no_window '^Ayarlar$' || fail "Çıkış did not close the settings window"
[ "$(a11y names "list item" | grep -c '^Masa [1-6]$')" -eq 6 ] || fail "the floor does not list six tables"
wait_row "Masa 6" "Boş"
step six-tables

# 3. Enter on Masa 1 opens its account.
click_object "list item" "Masa 1"
before=$(date +%s)
keys_to "$main" Return
wait_alert_text "Masa 1 için hesap açıldı!"
step account-opened
close_alert
opened=$(opened_at)
[ "$opened" -ge $((before - 1)) ] && [ "$opened" -le "$(date +%s)" ] ||
  fail "the register's opening time $(register_line 3) is not the moment of Enter"
[ "$(register_line 4)" = "$fee" ] || fail "the account's fee is '$(register_line 4)'"

# 4. F2, Enter books the chosen extra, Escape closes the picker.
keys_to "$main" F2
wait_window '^Listeden Extra Seçin$' >/dev/null || fail "F2 opened no picker"
step picker
xdotool key Return
sleep 0.3
xdotool key Escape
wait_no_window '^Listeden Extra Seçin$' || fail "Escape did not close the picker"
booked=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Masa Extraları/Masa 1.msex" | tr -d '\r' | paste -sd '|')
[ "$booked" = "Türk Kahvesi|35000" ] || fail "Masa 1 has '$booked' booked"

# 5. F5: the minutes, the time charge, the extra and the total, as the clock says.
from=$(date +%s)
keys_to "$main" F5
sleep 0.3
to=$(date +%s)
minutes=$(a11y_filled "Toplam Süre(dk):")
minutes_between "$opened" "$from" "$to" | grep -qx "$minutes" ||
  fail "F5 shows $minutes minutes for an account opened $((to - opened)) s ago"
charge=$((minutes * fee / 60))
if [ "$minutes" -eq 0 ]; then want_charge="Hesaplama için süre az"; else want_charge=$(lira $charge); fi
[ "$(a11y after "Saat Tutarı:")" = "$want_charge" ] || fail "the time charge reads '$(a11y after "Saat Tutarı:")'"
[ "$(a11y after "Extra Tutarı:")" = "35.000 TL" ] || fail "the extras read '$(a11y after "Extra Tutarı:")'"
[ "$(a11y after "Toplam Ücret:")" = "$(lira $((charge + 35000)))" ] ||
  fail "the total reads '$(a11y after "Toplam Ücret:")', not $(lira $((charge + 35000)))"
grep -qx "Türk Kahvesi, 35.000 TL" <<<"$(a11y names "list item" "/^Masa Bilgileri/")" ||
  fail "the extra is not listed with its price"
step calculated
shot_window evening-main-window "$main"
echo "F5 after $((to - opened)) s: $minutes min, total $(a11y after "Toplam Ücret:")"

# 6. F8: the bill; "Ödendi, Kapat" settles it and frees the table.
from=$(date +%s)
keys_to "$main" F8
wait_window '^Hesap Özeti$' >/dev/null || fail "F8 showed no bill"
to=$(date +%s)
total=$(a11y after "Toplam:")
ok=""
for m in $(minutes_between "$opened" "$from" "$to"); do
  [ "$total" = "$(lira $((m * fee / 60 + 35000)))" ] && ok=1
done
[ -n "$ok" ] || fail "the bill's total is '$total' after $((to - opened)) s"
[ "$(a11y after "Extra toplamı:")" = "35.000 TL" ] || fail "the bill's extras read '$(a11y after "Extra toplamı:")'"
[ "$(a11y after "Saatlik ücret:")" = "$(lira $fee)" ] || fail "the bill's fee is wrong"
step bill
click_object "push button" "Ödendi, Kapat"
wait_alert_text "Masa 1 için hesap kapatıldı!"
step paid
close_alert
wait_no_window '^Hesap Özeti$' || fail "the bill window stays"
wait_row "Masa 1" "Boş"
[ "$(register_line 2)$(register_line 3)$(register_line 4)" = "" ] || fail "Masa 1's register lines stay"
[ "$(stat -c %s "$KV_DATA/Masa Extraları/Masa 1.msex")" -eq 0 ] || fail "Masa 1's extras stay"
step table-free

# 7. F9: "Gün Sonu" with the one bill; Escape closes it.
keys_to "$main" F9
wait_window '^Gün Sonu$' >/dev/null || fail "F9 showed no day end"
sleep 0.3
[ "$(a11y after "Fiş sayısı:")" = 1 ] || fail "the day end counts '$(a11y after "Fiş sayısı:")' bills"
[ "$(a11y after "Genel toplam:")" = "$total" ] || fail "the day's total is '$(a11y after "Genel toplam:")', not '$total'"
grep -qx "Masa 1" <<<"$(a11y names "table cell")" || fail "the day end does not list Masa 1"
step day-end
xdotool key Escape
wait_no_window '^Gün Sonu$' || fail "Escape did not close the day end"

# 8. Closed to the notification area, brought back by a double click on the icon.
icon=$(find_icon) || fail "no icon in the notification area"
read -r iw ih < <(xwininfo -id "$icon" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
close_window "$MAIN_TITLE"
wait_no_window "$MAIN_TITLE" || fail "closing did not hide the main window"
kill -0 "$KV_PID" 2>/dev/null || fail "closing ended the program"
step hidden
click_at "$icon" $((iw / 2)) $((ih / 2)) 2
wait_window "$MAIN_TITLE" >/dev/null || fail "the icon's double click did not bring the window back"
step back

# 9. "Çıkış" from the icon's menu ends the program with status 0.
xdotool click 3 # the pointer is still on the icon (moving it there again would wait for a move)
sleep 0.6
step icon-menu
xdotool key Up Return # the menu's last item, "Çıkış" (the menu is not in the tree)
wait_ended "Çıkış did not end the program"
status=0
wait "$KV_PID" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "PASS: the evening from the package in $((elapsed / 1000)).$(printf '%03d' $((elapsed % 1000))) s"
