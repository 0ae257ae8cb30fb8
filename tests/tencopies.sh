#!/usr/bin/env bash
# Ten copies started at the same moment on the same home: exactly one stays running, the
# other nine end with status 0, and nothing in the data directory changes. Every other
# round starts over the lock that a killed copy left behind.
# Usage: tencopies.sh PROGRAM [ROUNDS]
set -euo pipefail

bin=$1
rounds=${2:-6}
copies=10
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
data="$XDG_DATA_HOME/Kelvora"

# Record lines as the program writes them: Windows-1254, CR LF.
write_lines() {
  local path=$1
  shift
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t WINDOWS-1254 >"$path"
}
mkdir -p "$data/Masa Extraları"
write_lines "$data/Zorbelayar.dll" 1000000 T "" Masa 0 "" "" "" "" "" "" "" "" "" "" ""
reg=(3)
for _ in $(seq 1 558); do reg+=(""); done
write_lines "$data/Zorbelayarms.dll" "${reg[@]}"
write_lines "$data/Zorbelayarex.dll" "Çay" 15 "Şıra" 20
write_lines "$data/Masa Extraları/Masa 2.msex" "Çay" 15
# The ledger as a first start makes it; the copies find it in place.
"$bin" >/dev/null 2>&1 &
first=$!
for _ in $(seq 1 100); do [ -s "$data/Defter.db" ] && break; sleep 0.1; done
sleep 0.5
kill -9 "$first"
wait "$first" 2>/dev/null || true
rm -f "$data"/Defter.db-wal "$data"/Defter.db-shm "$data"/.kelvora.lock
[ -s "$data/Defter.db" ] || fail "no ledger was made"
touch -d '2026-12-07 21:15:03' "$data"/*.dll "$data"/Defter.db "$data/Masa Extraları"/*

# Only the running copy's lock and the ledger's journal files beside the database (which
# SQLite keeps while it is open) may appear, and the directory's time they change.
snapshot() {
  (cd "$data" && find . -mindepth 1 ! -name .kelvora.lock ! -name 'Defter.db-*' \
    -printf '%p %y %s %T@ %m\n' | sort &&
    find . -type f ! -name .kelvora.lock ! -name 'Defter.db-*' -exec md5sum {} + | sort)
}
before=$(snapshot)
alive() {
  local n=0
  for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && n=$((n + 1)); done
  echo "$n"
}

for round in $(seq 1 "$rounds"); do
  lock="stale lock"
  if [ $((round % 2)) -eq 1 ]; then
    lock="no lock"
    rm -f "$XDG_RUNTIME_DIR"/Kelvora-*
  fi
  # Every copy waits on a pipe; closing it once all wait releases them at the same moment.
  rm -f "$work/go" "$work"/ready*
  mkfifo "$work/go"
  pids=()
  for i in $(seq 1 "$copies"); do
    (
      exec 4<"$work/go"
      : >"$work/ready$i"
      read -r _ <&4 || true
      exec 4<&-
      exec "$bin" >"$work/copy$i.log" 2>&1
    ) &
    pids+=($!)
  done
  exec 3>"$work/go"
  for _ in $(seq 1 300); do
    [ "$(find "$work" -maxdepth 1 -name 'ready*' | wc -l)" -eq "$copies" ] && break
    sleep 0.02
  done
  exec 3>&-

  for _ in $(seq 1 300); do
    [ "$(alive)" -le 1 ] && break
    sleep 0.1
  done
  sleep 0.5 # a copy that is still starting would end now
  running=()
  statuses=()
  for p in "${pids[@]}"; do
    if kill -0 "$p" 2>/dev/null; then
      running+=("$p")
    else
      status=0
      wait "$p" || status=$?
      statuses+=("$status")
    fi
  done
  [ ${#running[@]} -eq 1 ] || fail "round $round ($lock): ${#running[@]} copies running, not one"
  for s in "${statuses[@]}"; do
    [ "$s" -eq 0 ] || fail "round $round ($lock): a refused copy ended with status $s (statuses: ${statuses[*]})"
  done
  [ "$(snapshot)" = "$before" ] || fail "round $round ($lock): the data directory changed:
$(diff <(echo "$before") <(snapshot) || true)"
  echo "round $round ($lock): 1 copy running, ${#statuses[@]} ended with status 0, data directory unchanged"

  # The survivor is killed outright, leaving its lock for the next round.
  kill -9 "${running[0]}"
  wait "${running[0]}" 2>/dev/null || true
done
echo "PASS: $rounds rounds of $copies copies at once"
