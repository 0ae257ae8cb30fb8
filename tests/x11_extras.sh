#!/usr/bin/env bash
# Two drinks booked to a table through the picker by real double clicks, then calculated.
source "$(dirname "$0")/x11lib.sh" "$@"

prepare_desk 3 "Çay" 15000 "Şalgam Suyu" 25000
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
menu_h=$(($(xwininfo -id "$main" | awk '/Height/ {print $NF}') - 517))

click_at "$main" 95 $((menu_h + 30 + 8))            # Masa 1
click_at "$main" 325 $((menu_h + 6 + 188 + 80)) 2   # the extras list
picker=$(wait_window '^Listeden Extra Seçin$') || fail "the picker did not open"
shot extras-picker
row_h=${KV_PICKER_ROW:-19}
click_at "$picker" 60 $((2 + row_h / 2)) 2
click_at "$picker" 60 $((2 + row_h + row_h / 2)) 2
ph=$(xwininfo -id "$picker" | awk '/Height/ {print $NF}')
click_at "$picker" 120 $((ph - 18))                 # "Çık"
wait_no_window '^Listeden Extra Seçin$' || fail "the picker did not close"
click_at "$main" 325 $((menu_h + 6 + 94 + 15))      # "Ücret Hesapla"
shot extras-calculated

expected=$(printf 'Çay\r\n15000\r\nŞalgam Suyu\r\n25000\r\n' | iconv -f UTF-8 -t WINDOWS-1254 | od -An -tx1)
actual=$(od -An -tx1 "$KV_DATA/Masa Extraları/Masa 1.msex")
[ "$expected" = "$actual" ] || fail "Masa 1.msex holds$actual"
echo "PASS: two extras booked through the picker"
