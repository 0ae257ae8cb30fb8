#!/usr/bin/env bash
# The counter's main job with real input: a double click opens an account, a table opened
# 1 h 47 min 37 s ago is calculated with "Ücret Hesapla".
source "$(dirname "$0")/x11lib.sh" "$@"

prepare_desk 3
# Masa 2 was opened 6457 seconds ago (possibly yesterday: accounts run past midnight).
opened_date=$(date -d '-6457 seconds' +%-d.%m.%Y)
opened_time=$(date -d '-6457 seconds' +%H:%M:%S)
reg=(3 "" "" "" "$opened_date" "$opened_time" 1000000)
for _ in $(seq 7 558); do reg+=(""); done
write_lines "$KV_DATA/Zorbelayarms.dll" "${reg[@]}"

need_a11y
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"

click_object "list item" "Masa 1" 2
box=$(wait_window '^Kelvora$') || fail "no message after the double click"
shot account-opened-message
press_enter "$box"
wait_no_window '^Kelvora$' || fail "message did not close"
lines=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarms.dll" | tr -d '\r' | sed -n '2,4p' | paste -sd '|')
case "$lines" in
  "$(date +%-d.%m.%Y)|"??:??:??"|1000000") ;;
  *) fail "register lines of Masa 1 are '$lines'" ;;
esac

click_object "list item" "Masa 2"
click_object "push button" "/^Ücret Hesapla/"
shot account-calculated
[ "$(a11y_filled "Toplam Süre(dk):")" = 107 ] || fail "Masa 2 is not billed 107 minutes"
echo "PASS: account opened by double click and calculated"
