#!/usr/bin/env bash
# Settling a table in a real window: an account opened, two extras booked, F8, the bill
# window read line by line, "Ödendi, Kapat", the table free on the floor, "Gün Sonu" with the
# bill in its total; then "İptal Et" with a reason reopens the account from its start (Enter
# takes "Evet" in the question), and restarting it lands in the ledger as a restart, apart
# from the takings.
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y

prepare_desk 2 "Çay" 15000 "Tost" 40000
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
click_object "list item" "Masa 1"
keys_to "$main" Return
box=$(wait_window '^Kelvora$') || fail "no account opened"
press_enter "$box"
wait_no_window '^Kelvora$' || fail "the message did not close"
keys_to "$main" F2
wait_window '^Listeden Extra Seçin$' >/dev/null || fail "no picker"
xdotool key Return Down Return Escape
wait_no_window '^Listeden Extra Seçin$' || fail "the picker did not close"

opened=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarms.dll" | tr -d '\r' | sed -n '2,3p' | paste -sd '|')
keys_to "$main" F8
bill=$(wait_window '^Hesap Özeti$') || fail "F8 showed no bill"
sleep 0.5
shot ledger-bill
[ "$(a11y after "Extra toplamı:")" = "55.000 TL" ] || fail "the extras total is $(a11y after "Extra toplamı:")"
[ "$(a11y after "Saatlik ücret:")" = "1.000.000 TL" ] || fail "the fee is wrong"
grep -qx "Çay, 15.000 TL" <<<"$(a11y names "list item" "Hesap Özeti")" || fail "the bill reads no Çay with its price"
total=$(a11y after "Toplam:")
[ "$total" = "55.000 TL" ] || fail "the bill's total is $total"
click_object "push button" "Ödendi, Kapat"
box=$(wait_window '^Kelvora$') || fail "no message after paying"
[ "$(a11y alert)" = "Masa 1 için hesap kapatıldı!" ] || fail "the message is $(a11y alert)"
press_enter "$box"
sleep 1.2
[ "$(a11y description "list item" "Masa 1")" = "Boş" ] || fail "Masa 1 is not free"
[ "$(stat -c %s "$KV_DATA/Masa Extraları/Masa 1.msex")" -eq 0 ] || fail "the extras stay"

keys_to "$main" F9
dayend=$(wait_window '^Gün Sonu$') || fail "F9 showed no day end"
sleep 0.5
shot ledger-day-end
[ "$(a11y after "Genel toplam:")" = "55.000 TL" ] || fail "the day's total is $(a11y after "Genel toplam:")"
[ "$(a11y after "Fiş sayısı:")" = "1" ] || fail "not one bill"

# "İptal Et" with a reason: the bill is cancelled and the account reopened.
click_object "table cell" "Masa 1"
click_object "push button" "İptal Et"
reason=$(wait_window '^Fiş İptali$') || fail "no reason asked"
xdotool type --delay 40 "Yanlış masa"
xdotool key Return
box=$(wait_window '^Kelvora$') || fail "no question after the reason"
[ "$(wait_alert)" = "Kapalı kalan süre de hesaba eklensin mi?" ] || fail "the question is $(a11y alert)"
press_enter "$box" # "Evet" is the default
said=
for _ in $(seq 1 50); do
  said=$(a11y alert 2>/dev/null) && [ "$said" != "Kapalı kalan süre de hesaba eklensin mi?" ] && break
  sleep 0.2
done
[ "$said" = "Fiş iptal edildi; Masa 1 hesabı yeniden açıldı." ] || fail "the message is $said"
box=$(wait_window '^Kelvora$') || fail "no message after cancelling"
press_enter "$box"
got=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Zorbelayarms.dll" | tr -d '\r' | sed -n '2,3p' | paste -sd '|')
[ "$got" = "$opened" ] || fail "reopened at '$got', not from its start '$opened'"
sleep 0.3
shot ledger-cancelled
[ "$(a11y after "Genel toplam:")" = "0 TL" ] || fail "a cancelled bill still counts"
click_object "push button" "Kapat"
wait_no_window '^Gün Sonu$' || fail "the day end did not close"
sleep 1.2
case "$(a11y description "list item" "Masa 1")" in
  "Açık, "*) ;;
  *) fail "Masa 1 was not reopened" ;;
esac
got=$(iconv -f WINDOWS-1254 -t UTF-8 "$KV_DATA/Masa Extraları/Masa 1.msex" | tr -d '\r' | paste -sd '|')
[ "$got" = "Çay|15000|Tost|40000" ] || fail "the extras came back as '$got'"

# Enter on the open table, "Evet": the account restarts and its time reaches the ledger.
click_object "list item" "Masa 1"
keys_to "$main" Return
box=$(wait_window '^Kelvora$') || fail "no restart question"
[ "$(a11y alert)" = "Masa 1 için açık bir hesap var. Hesap yeniden başlatılsın mı?" ] ||
  fail "the question is $(a11y alert)"
click_object "push button" "Evet"
[ "$(wait_alert)" = "Masa 1 için hesap açıldı!" ] || fail "the message is $(a11y alert)"
press_enter "$(wait_window '^Kelvora$')"
wait_no_window '^Kelvora$' || fail "the message did not close"
keys_to "$main" F9
wait_window '^Gün Sonu$' >/dev/null || fail "F9 showed no day end"
sleep 0.5
shot ledger-restart
restarted=$(a11y after "Kapatılmadan yeniden başlatılan:")
[[ "$restarted" = "1 hesap · "*" TL" ]] || fail "the restart line reads '$restarted'"
[ "$(a11y after "Genel toplam:")" = "0 TL" ] || fail "a restart counts in the takings"
echo "PASS: settling, the day end, undo and a restart in a real window"
