#!/usr/bin/env bash
# The main window, the settings window (both tabs) and the bill window at QT_SCALE_FACTOR=2
# and, for comparison, at 1: each opens, fits on the screen and is twice as large at 2.
# Whether text is clipped is judged by looking at the crops hidpi-<scale>-*.png.
KV_SCREEN=2400x1500x24
source "$(dirname "$0")/x11lib.sh" "$@"
need_a11y

# Client size of a window: "W H".
client_size() { xwininfo -id "$1" | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}'; }
read -r screen_w screen_h < <(xwininfo -root | awk '/Width/ {w=$NF} /Height/ {h=$NF} END {print w, h}')

# Photographs a window, checks that it lies on the screen and records its size.
declare -A size
capture() { # scale, name, window
  local x y w h
  sleep 0.5 # the window manager places and draws it
  read -r x y w h < <(frame_geometry "$3")
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_w" ] && [ $((y + h)) -le "$screen_h" ] ||
    fail "$2 at scale $1 lies off the screen: ${w}x$h at $x,$y"
  size[$1-$2]=$(client_size "$3")
  shot_window "hidpi-$1-$2" "$3"
}

prepare_busy_desk

for scale in 1 2; do
  start_program QT_SCALE_FACTOR=$scale
  main=$(wait_window "$MAIN_TITLE") || fail "no main window at scale $scale"
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  # Masa 2 chosen and calculated: every field of the window is filled. Qt gives the
  # accessibility tree logical pixels, so its point is scaled to the screen's.
  read -r x y < <(a11y center "list item" "Masa 2") || fail "no Masa 2"
  xdotool mousemove --sync $((x * scale)) $((y * scale)) click 1
  sleep 0.3
  keys_to "$main" F5
  sleep 1.2
  capture $scale main "$main"

  xdotool key alt+a
  for _ in $(seq 1 30); do a11y center "menu item" "Seçenekler" >/dev/null && break; sleep 0.1; done
  xdotool key s
  settings=$(wait_window '^Ayarlar$') || fail "no settings window at scale $scale"
  capture $scale settings-general "$settings"
  xdotool key ctrl+Tab
  capture $scale settings-extras "$settings"
  xdotool key Escape
  wait_no_window '^Ayarlar$' || fail "the settings window did not close at scale $scale"

  keys_to "$main" F8
  bill=$(wait_window '^Hesap Özeti$') || fail "F8 showed no bill at scale $scale"
  capture $scale bill "$bill"
  xdotool key Escape
  wait_no_window '^Hesap Özeti$' || fail "the bill did not close at scale $scale"
  stop_program
done

# At 2 every window is twice its size at 1 (a pixel of rounding allowed).
for name in main settings-general settings-extras bill; do
  read -r w1 h1 <<<"${size[1-$name]}"
  read -r w2 h2 <<<"${size[2-$name]}"
  echo "$name: ${w1}x$h1 at 1, ${w2}x$h2 at 2"
  [ $((w2 - 2 * w1)) -ge -2 ] && [ $((w2 - 2 * w1)) -le 2 ] && [ $((h2 - 2 * h1)) -ge -2 ] &&
    [ $((h2 - 2 * h1)) -le 2 ] || fail "$name is ${w2}x$h2 at scale 2, not twice ${w1}x$h1"
done
echo "PASS: the windows at scale 2"
