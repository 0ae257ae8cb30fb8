#!/usr/bin/env bash
# Two drinks booked to a table through the picker by real double clicks, then calculated.
source "$(dirname "$0")/x11lib.sh" "$@"

prepare_desk 3 "Çay" 15000 "Şalgam Suyu" 25000
need_a11y
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"

click_object "list item" "Masa 1"
click_object "list item" "Eklemek İçin Çift Tıklayın" 2
picker=$(wait_window '^Listeden Extra Seçin$') || fail "the picker did not open"
shot extras-picker
click_object "list item" "Çay, 15.000 TL" 2
click_object "list item" "Şalgam Suyu, 25.000 TL" 2
click_object "push button" "Çık"
wait_no_window '^Listeden Extra Seçin$' || fail "the picker did not close"
click_object "push button" "/^Ücret Hesapla/"
shot extras-calculated
[ "$(a11y_filled "Toplam Ücret:")" = "40.000 TL" ] || fail "the total is not 40.000 TL"

expected=$(printf 'Çay\r\n15000\r\nŞalgam Suyu\r\n25000\r\n' | iconv -f UTF-8 -t WINDOWS-1254 | od -An -tx1)
actual=$(od -An -tx1 "$KV_DATA/Masa Extraları/Masa 1.msex")
[ "$expected" = "$actual" ] || fail "Masa 1.msex holds$actual"
echo "PASS: two extras booked through the picker"
