#!/usr/bin/env bash
# The live floor in a real window, read from the accessibility tree: three tables, two open
# (one since yesterday); Enter opens the free one; F2, Enter, Escape books an extra and the
# row's bill grows by its price at the next tick; F5 fills the details. Then the floor of a
# hall with 12 tables and one with 80, photographed.
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y

register_with() { # the register's lines, count first
  local reg=("$@")
  while [ ${#reg[@]} -lt 559 ]; do reg+=(""); done
  write_lines "$KV_DATA/Zorbelayarms.dll" "${reg[@]}"
}
ago() { date -d "$1" '+%-d.%m.%Y|%H:%M:%S'; }
description() { a11y description "list item" "$1" || echo "<no row $1>"; }
# "Açık, 1:47, 1.853.333 TL" for an account opened the given minutes (and 5 s) ago; one
# opened before the business day's start (06:00) reads "Açık (önceki gün)", whatever the
# hour of the run.
expect_open() {
  local name=$1 minutes=$2 extras=$3 prefix=Açık got want day=today
  [ "$(date +%H)" -ge 6 ] || day=yesterday
  [ "$(date -d "-$minutes min -5 sec" +%s)" -ge "$(date -d "$day 06:00" +%s)" ] ||
    prefix="Açık (önceki gün)"
  want=$(printf '%s, %d:%02d, %s' "$prefix" $((minutes / 60)) $((minutes % 60)) \
    "$(python3 -c "import sys; t=$minutes*1000000//60+$extras; print(f'{t:,}'.replace(',', '.'))") TL")
  got=$(description "$name")
  [ "$got" = "$want" ] || fail "$name reads '$got', not '$want'"
}

prepare_desk 3 "Çay" 15000
o2=$(ago '-107 min -5 sec')
o3=$(ago '-1565 min -5 sec') # 26:05, since yesterday
register_with 3 "" "" "" "${o2%|*}" "${o2#*|}" 1000000 "${o3%|*}" "${o3#*|}" 1000000
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
sleep 1.2
[ "$(description "Masa 1")" = "Boş" ] || fail "Masa 1 reads '$(description "Masa 1")'"
expect_open "Masa 2" 107 0
expect_open "Masa 3" 1565 0
shot floor-three-tables

# Enter on the free table opens it (the message is confirmed with Enter too).
click_object "list item" "Masa 1"
keys_to "$main" Return
box=$(wait_window '^Kelvora$') || fail "Enter opened no account"
press_enter "$box"
wait_no_window '^Kelvora$' || fail "the message did not close"
sleep 1.2
expect_open "Masa 1" 0 0

# F2 opens the picker, Enter books, Escape closes; the next tick shows the bill with it.
keys_to "$main" F2
picker=$(wait_window '^Listeden Extra Seçin$') || fail "F2 opened no picker"
xdotool key Return
shot floor-picker
xdotool key Escape
wait_no_window '^Listeden Extra Seçin$' || fail "Escape did not close the picker"
sleep 1.2
expect_open "Masa 1" 0 15000
expected=$(printf 'Çay\r\n15000\r\n' | iconv -f UTF-8 -t WINDOWS-1254 | od -An -tx1)
[ "$(od -An -tx1 "$KV_DATA/Masa Extraları/Masa 1.msex")" = "$expected" ] || fail "one Çay not booked"

keys_to "$main" F5
[ "$(a11y_filled "Extra Tutarı:")" = "15.000 TL" ] || fail "F5 did not fill the details"
shot floor-after-keys
stop_program

# A hall of 12 tables, some open, one since yesterday; then one of 80.
rm -rf "$KV_DATA"
prepare_desk 12 "Çay" 15000 "Türk Kahvesi" 30000 "Tost" 45000
lines=(12)
for t in $(seq 1 12); do
  case $t in
    2) o=$(ago '-107 min') ;; 3) o=$(ago '-1565 min') ;; 5) o=$(ago '-44 min') ;;
    8) o=$(ago '-192 min') ;; 9) o=$(ago '-12 min') ;; *) o="" ;;
  esac
  if [ -n "$o" ]; then lines+=("${o%|*}" "${o#*|}" 1000000); else lines+=("" "" ""); fi
done
register_with "${lines[@]}"
write_lines "$KV_DATA/Masa Extraları/Masa 2.msex" "Çay" 15000 "Türk Kahvesi" 30000 "Tost" 45000
write_lines "$KV_DATA/Masa Extraları/Masa 8.msex" "Çay" 15000 "Çay" 15000
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
click_object "list item" "Masa 2"
click_object "push button" "/^Ücret Hesapla/"
sleep 1
shot floor-12-tables
stop_program

rm -rf "$KV_DATA"
prepare_desk 80
write_lines "$KV_DATA/Zorbelayar.dll" 1000000 T "" "Bilardo Salonu Üst" 0 "" "" "" "" "" "" "" "" "" "" ""
lines=(80)
for t in $(seq 1 80); do o=$(ago "-$((t * 7)) min"); lines+=("${o%|*}" "${o#*|}" 1000000); done
register_with "${lines[@]}"
start_program
wait_window "$MAIN_TITLE" >/dev/null || fail "no main window"
sleep 1.2
[ "$(a11y names "list item" | grep -c '^Bilardo Salonu Üst ')" -eq 80 ] || fail "not 80 tables"
expect_open "Bilardo Salonu Üst 80" 560 0
shot floor-80-tables
echo "PASS: the live floor"
