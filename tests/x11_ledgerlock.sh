#!/usr/bin/env bash
# Another program holds the ledger while the operator settles a table: the window keeps
# answering, the wait is shown and given up, the refusal offers "Tekrar Dene" (given up too),
# the status bar says why until the ledger can be written again, and then the same settle
# goes through.
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y

prepare_busy_desk
start_program
main=$(wait_window "$MAIN_TITLE") || fail "no main window"
sleep 1
# The ledger exists once the program has used it.
keys_to "$main" F9
wait_window '^Gün Sonu$' >/dev/null || fail "F9 showed no day end"
click_object "push button" "Kapat"
wait_no_window '^Gün Sonu$' || fail "the day end did not close"

python3 -c '
import sqlite3, sys, time
c = sqlite3.connect(sys.argv[1], isolation_level=None)
c.execute("BEGIN IMMEDIATE")
print("locked", flush=True)
time.sleep(600)' "$KV_DATA/Defter.db" >"$KV_WORK/locker.out" 2>&1 &
locker=$!
KV_PIDS+=($locker)
for _ in $(seq 1 50); do grep -q locked "$KV_WORK/locker.out" && break; sleep 0.1; done

click_object "list item" "Masa 2"
keys_to "$main" F8
wait_window '^Hesap Özeti$' >/dev/null || fail "F8 showed no bill"
sleep 0.5
click_object "push button" "Ödendi, Kapat"
wait_window '^Kelvora$' >/dev/null || fail "the wait is not shown"
sleep 0.5
shot ledgerlock-wait
click_object "push button" "Vazgeç"
text=$(wait_alert) || fail "no message after giving up"
[[ "$text" == "Defter başka bir program tarafından kullanılıyor; hesap kapatılmadı."* ]] ||
  fail "the message says '$text'"
shot ledgerlock-refused
click_object "push button" "Vazgeç"
wait_no_window '^Kelvora$' || fail "the message did not close"
sleep 0.5
status=$(a11y names label | grep '^Defter kullanılamıyor' || true)
[ "$status" = "Defter kullanılamıyor: başka bir program tarafından kullanılıyor" ] ||
  fail "the status bar says '$status'"
shot ledgerlock-status
case "$(a11y description "list item" "Masa 2")" in
  "Açık, "*) ;;
  *) fail "Masa 2 was closed although the message said not" ;;
esac

# The other program lets go: the status bar clears by itself, and the settle goes through.
kill "$locker"
for _ in $(seq 1 80); do
  a11y names label | grep -q '^Defter kullanılamıyor' || break
  sleep 0.1
done
a11y names label | grep -q '^Defter kullanılamıyor' && fail "the status bar still says the ledger cannot be used"
keys_to "$main" F8
wait_window '^Hesap Özeti$' >/dev/null || fail "F8 showed no bill"
sleep 0.5
click_object "push button" "Ödendi, Kapat"
[ "$(wait_alert)" = "Masa 2 için hesap kapatıldı!" ] || fail "the message is $(a11y alert)"
echo "PASS: a held ledger is waited for, given up, said on the status bar, and let go"
