#!/bin/bash
# Makes the program's own pictures: the icon (16 to 256 pixels and a Windows .ico), the extras
# list's mark, the two banners of the main window (609x65 JPEG) and the about picture (640x480
# JPEG).
# Needs ImageMagick (convert), rsvg-convert and the DejaVu fonts. Run it from anywhere; the
# pictures are written beside this script. The output is deterministic for one ImageMagick
# and librsvg version.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
fontdir=/usr/share/fonts/truetype/dejavu
bold="$fontdir/DejaVuSans-Bold.ttf"
regular="$fontdir/DejaVuSans.ttf"
oblique="$fontdir/DejaVuSans-BoldOblique.ttf"
for f in "$bold" "$regular" "$oblique"; do
    [ -f "$f" ] || { echo "missing font $f (Debian: fonts-dejavu-core)" >&2; exit 1; }
done
command -v convert >/dev/null || { echo "ImageMagick's convert is missing" >&2; exit 1; }
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (Debian: librsvg2-bin)" >&2; exit 1; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Strip dates and other metadata so that re-running gives the same bytes.
plain=(-strip -define png:exclude-chunks=date,time)

# Icon: a small billiard table (wooden rail, green felt) with a red and a white ball. Each
# size is rendered natively from a hand-written drawing whose edges fall on whole pixels:
# kelvora-16.svg is a simplified design for 16 pixels, kelvora.svg serves every larger size
# and is installed as the scalable icon.
for n in 16 32 48 128 256; do
    src="$here/kelvora.svg"
    [ "$n" -eq 16 ] && src="$here/kelvora-16.svg"
    rsvg-convert -w "$n" -h "$n" "$src" -o "$tmp/icon-$n.png"
    convert "$tmp/icon-$n.png" "${plain[@]}" "PNG32:$here/kelvora-$n.png"
done
convert "$here/kelvora-16.png" "$here/kelvora-32.png" "$here/kelvora-48.png" "$here/kelvora.ico"

# The mark before the main window's extras list (16 pixels, and 32 for screens of twice the
# pixels), the program's own so that it needs no icon theme lookup at start (on X11 that lookup costs several milliseconds before the first paint).
for n in 16 32; do
    rsvg-convert -w "$n" -h "$n" "$here/extras-16.svg" -o "$tmp/extras-$n.png"
    convert "$tmp/extras-$n.png" "${plain[@]}" "PNG32:$here/extras-$n.png"
done

# Banners: a gradient with the product name, a short slogan and the maker's address.
banner() { # out, gradient from, gradient to, accent, slogan
    local out=$1 from=$2 to=$3 accent=$4 slogan=$5
    convert -size 65x609 "gradient:$from-$to" -rotate -90 \
        -fill "$accent" -draw 'rectangle 0,0 608,2' -draw 'rectangle 0,62 608,64' \
        -fill '#00000060' -draw 'circle 33,32 55,32' \
        -fill '#f4f4f4' -stroke '#555555' -strokewidth 1 -draw 'circle 30,30 52,30' \
        -stroke none -fill "$accent" -draw 'circle 30,30 42,30' \
        -fill white -font "$bold" -pointsize 15 -gravity northwest -annotate +24+21 'K' \
        -font "$bold" -pointsize 30 -fill '#00000070' -annotate +68+9 'Kelvora' \
        -fill white -annotate +66+7 'Kelvora' \
        -font "$oblique" -pointsize 15 -fill "$accent" -annotate +232+13 "$slogan" \
        -font "$regular" -pointsize 12 -fill '#e8e8e8' \
        -annotate +232+38 'Yıldız Oyun Salonu  •  https://kelvora.example/' \
        "${plain[@]}" -quality 92 "$out"
}
banner "$here/banner1.jpg" '#0b2a4a' '#1f6fa8' '#ffd23f' 'Masanız hazır, hesabınız doğru!'
banner "$here/banner2.jpg" '#3b0d0d' '#a8321f' '#7fe08a' 'Oyun sizden, süre ve ücret bizden.'

# About picture: a billiard table seen from above, balls racked, a cue, and the name.
convert -size 480x640 'gradient:#101820-#2b3a4a' -rotate -90 \
    -fill '#00000080' -draw 'roundrectangle 78,118 578,408 30,30' \
    -fill '#6b3a1e' -stroke '#3d1f0d' -strokewidth 4 -draw 'roundrectangle 70,110 570,400 30,30' \
    -fill '#1f8a3b' -stroke '#145c27' -strokewidth 4 -draw 'rectangle 100,140 540,370' \
    -stroke none -fill '#d9b36a' \
    -draw 'circle 195,125 198,125' -draw 'circle 285,125 288,125' \
    -draw 'circle 355,125 358,125' -draw 'circle 445,125 448,125' \
    -draw 'circle 195,385 198,385' -draw 'circle 285,385 288,385' \
    -draw 'circle 355,385 358,385' -draw 'circle 445,385 448,385' \
    -fill '#111111' \
    -draw 'circle 102,142 118,142' -draw 'circle 538,142 554,142' \
    -draw 'circle 102,368 118,368' -draw 'circle 538,368 554,368' \
    -draw 'circle 320,136 334,136' -draw 'circle 320,374 334,374' \
    -stroke '#ffffff50' -strokewidth 2 -draw 'line 210,142 210,368' \
    -fill none -draw 'arc 170,215 250,295 90,270' \
    -stroke '#3d1f0d' -strokewidth 1 \
    -fill '#f1c40f' -draw 'circle 400,255 411,255' \
    -fill '#2e5fd0' -draw 'circle 420,244 431,244' -fill '#d62020' -draw 'circle 420,266 431,266' \
    -fill '#8e44ad' -draw 'circle 440,233 451,233' -fill '#111111' -draw 'circle 440,255 451,255' \
    -fill '#e67e22' -draw 'circle 440,277 451,277' \
    -fill '#1e8449' -draw 'circle 460,222 471,222' -fill '#7b241c' -draw 'circle 460,244 471,244' \
    -fill '#f1c40f' -draw 'circle 460,266 471,266' -fill '#2e5fd0' -draw 'circle 460,288 471,288' \
    -fill '#d62020' -draw 'circle 480,211 491,211' -fill '#8e44ad' -draw 'circle 480,233 491,233' \
    -fill '#e67e22' -draw 'circle 480,255 491,255' -fill '#1e8449' -draw 'circle 480,277 491,277' \
    -fill '#7b241c' -draw 'circle 480,299 491,299' \
    -fill '#f4f4f4' -stroke '#8a8a8a' -draw 'circle 210,255 221,255' \
    -stroke '#3d1f0d' -strokewidth 1 -fill '#c8a165' -draw 'polygon 30,440 36,446 195,268 191,264' \
    -fill '#2a6fb0' -stroke none -draw 'polygon 191,264 195,268 198,265 194,261' \
    -font "$bold" -pointsize 64 -gravity north -fill '#00000080' -annotate +4+20 'Kelvora' \
    -fill '#e23b2e' -annotate +0+16 'Kelvora' \
    -font "$oblique" -pointsize 22 -gravity south -fill '#ffd23f' -annotate +0+38 'Yıldız Oyun Salonu' \
    -font "$regular" -pointsize 15 -fill '#d0d8e0' -annotate +0+14 'Kelvora Yazılım  •  https://kelvora.example/' \
    "${plain[@]}" -quality 92 "$here/about.jpg"

identify "$here"/kelvora-*.png "$here"/extras-*.png "$here"/kelvora.ico \
    "$here"/banner1.jpg "$here"/banner2.jpg "$here"/about.jpg
