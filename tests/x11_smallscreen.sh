#!/usr/bin/env bash
# On a small screen every window lies on it, frame included, and scrolls what does not fit:
# the main window, the settings window, the bill and Gün Sonu, at 1024x768 with scale 2 and
# at 800x600 with scale 1. Each button that ends a window is reached by scrolling (the mouse
# wheel over the window's scroll bars) and clicked.
if [ -z "${KV_SCALE:-}" ]; then
  KV_SCREEN=1024x768x24 KV_SCALE=2 bash "$0" "$@" || exit $?
  KV_SCREEN=800x600x24 KV_SCALE=1 exec bash "$0" "$@"
fi
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y
scale=$KV_SCALE
name="${KV_SCREEN%x*}-$scale"

# A panel along the bottom that windows leave free, as a desktop's task bar: the work area.
trayer --edge bottom --align right --widthtype pixel --width 48 --height 32 --SetDockType true \
  --SetPartialStrut true >/dev/null 2>&1 &
KV_PIDS+=($!)
screen_h=$(cut -dx -f2 <<<"$KV_SCREEN")
work_area() { xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | cut -d' ' -f1-4; }
for _ in $(seq 1 50); do
  read -r area_x area_y area_w area_h < <(work_area)
  [ "$area_h" -lt "$screen_h" ] && break
  sleep 0.1
done
[ "$area_h" -lt "$screen_h" ] || echo "NOTE: the panel reserves no room; the work area is the screen"

on_screen() { # what, window
  local x y w h
  sleep 0.5 # the window manager places and draws it
  read -r x y w h < <(frame_geometry "$2")
  [ "$x" -ge "$area_x" ] && [ "$y" -ge "$area_y" ] && [ $((x + w)) -le $((area_x + area_w)) ] &&
    [ $((y + h)) -le $((area_y + area_h)) ] ||
    fail "$1 at $name lies off the work area ${area_w}x$area_h: ${w}x$h at $x,$y"
}

# Scrolls the window until the object's centre is in its visible part, then at REACHED.
# The accessibility tree gives logical pixels, the screen has physical ones.
reach() { # role, name, window, window title (as the accessibility tree names it)
  local role=$1 object=$2 win=$3 title=$4 cx cy ox oy w h way bx by bw bh right bottom
  local hbar="" vbar="" off notches
  read -r ox oy < <(window_origin "$win")
  read -r w h < <(xwininfo -id "$win" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')
  right=$((ox + w)) bottom=$((oy + h))
  while read -r way bx by bw bh; do
    [ -n "$way" ] || continue
    bx=$((bx * scale)) by=$((by * scale)) bw=$((bw * scale)) bh=$((bh * scale))
    if [ "$way" = h ]; then hbar="$bx $by $bw $bh" bottom=$by; else vbar="$bx $by $bw $bh" right=$bx; fi
  done < <(a11y bars "$title")
  for _ in $(seq 1 10); do
    read -r cx cy < <(a11y center "$role" "$object") || fail "no $role '$object' at $name"
    cx=$((cx * scale)) cy=$((cy * scale))
    if [ "$cx" -ge "$ox" ] && [ "$cx" -lt "$right" ] && [ "$cy" -ge "$oy" ] && [ "$cy" -lt "$bottom" ]; then
      REACHED="$cx $cy"
      return 0
    fi
    # The wheel over the scroll bar of the way it lies off, a notch (60 pixels) at a time.
    if [ "$cy" -ge "$bottom" ] || [ "$cy" -lt "$oy" ]; then
      [ -n "$vbar" ] || fail "$role '$object' lies off $title at $name, with no vertical scroll bar"
      read -r bx by bw bh <<<"$vbar"
      off=$((cy < oy ? oy - cy : cy - bottom))
    else
      [ -n "$hbar" ] || fail "$role '$object' lies off $title at $name, with no horizontal scroll bar"
      read -r bx by bw bh <<<"$hbar"
      off=$((cx < ox ? ox - cx : cx - right))
    fi
    notches=$((off / (60 * scale) + 1))
    xdotool mousemove --sync $((bx + bw / 2)) $((by + bh / 2))
    if [ "$cy" -lt "$oy" ] || { [ "$cy" -lt "$bottom" ] && [ "$cx" -lt "$ox" ]; }; then
      xdotool click --repeat "$notches" --delay 40 4
    else
      xdotool click --repeat "$notches" --delay 40 5
    fi
    sleep 0.3
  done
  fail "$role '$object' could not be scrolled into $title at $name"
}
click_reached() { # role, name, window, window title
  local x y
  reach "$@"
  read -r x y <<<"$REACHED"
  xdotool mousemove --sync "$x" "$y"
  sleep 0.2
  xdotool click 1
  sleep 0.4
}

prepare_busy_desk

start_program QT_SCALE_FACTOR=$scale
main=$(wait_window "$MAIN_TITLE") || fail "no main window at $name"
on_screen "the main window" "$main"
click_reached "list item" "Masa 2" "$main" "/Kelvora v3/"
keys_to "$main" F5
sleep 1
# The clock and the totals at the window's far side are reached.
reach label "/^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]$/" "$main" "/Kelvora v3/"
reach "push button" "Sıfırla" "$main" "/Kelvora v3/"
shot "small-$name-main"

keys_to "$main" alt+a
for _ in $(seq 1 30); do a11y center "menu item" "Seçenekler" >/dev/null && break; sleep 0.1; done
xdotool key s
settings=$(wait_window '^Ayarlar$') || fail "no settings window at $name"
on_screen "the settings window" "$settings"
reach "push button" "Masa Oluştur" "$settings" Ayarlar
shot "small-$name-settings"
click_reached "push button" "Çıkış" "$settings" Ayarlar
wait_no_window '^Ayarlar$' || fail "Çıkış did not close the settings window at $name"

keys_to "$main" F8
bill=$(wait_window '^Hesap Özeti$') || fail "F8 showed no bill at $name"
on_screen "the bill" "$bill"
reach label "Toplam:" "$bill" "Hesap Özeti"
total=$(a11y after "Toplam:")
shot "small-$name-bill"
click_reached "push button" "Ödendi, Kapat" "$bill" "Hesap Özeti"
box=$(wait_window '^Kelvora$') || fail "no message after paying at $name"
press_enter "$box"
wait_no_window '^Hesap Özeti$' || fail "the bill did not close at $name"

keys_to "$main" F9
dayend=$(wait_window '^Gün Sonu$') || fail "F9 showed no day end at $name"
on_screen "Gün Sonu" "$dayend"
reach label "Genel toplam:" "$dayend" "Gün Sonu"
[ "$(a11y after "Genel toplam:")" = "$total" ] || fail "Gün Sonu's total is $(a11y after "Genel toplam:"), the bill's $total"
shot "small-$name-dayend"
click_reached "push button" "Kapat" "$dayend" "Gün Sonu"
wait_no_window '^Gün Sonu$' || fail "Kapat did not close Gün Sonu at $name"
stop_program
echo "PASS: the windows on a $name screen"
