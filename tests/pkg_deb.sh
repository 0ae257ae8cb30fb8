#!/usr/bin/env bash
# The Debian package: built with CPack into its own folder, checked with lintian,
# desktop-file-validate and appstreamcli, its contents and dependencies listed, then
# unpacked into a scratch root whose program must start on an empty disk.
# Usage: pkg_deb.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli file; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed; the package cannot be built or checked."
    exit 77
  fi
done

out="$build/tests/pkg"
work=$(mktemp -d)
pid=""
cleanup() {
  local status=$?
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack did not build the package"; }
debs=("$out"/kelvora_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one kelvora_*.deb in $out"
deb=${debs[0]}
[ "$(basename "$deb")" = "kelvora_3.0_$(dpkg --print-architecture).deb" ] ||
  fail "unexpected file name $(basename "$deb")"
echo "package: $deb ($(stat -c %s "$deb") bytes)"

# Errors and warnings fail; informational tags are shown but pass.
status=0
lintian --fail-on error,warning --info "$deb" >"$work/lintian.log" 2>&1 || status=$?
grep -v '^running with root' "$work/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reported errors or warnings"

dpkg-deb --contents "$deb" | awk '{print $1, $NF}' >"$work/contents"
expect() { # mode, path
  grep -Fqx -e "$1 ./${2#/}" "$work/contents" || fail "the package lacks $2 with mode $1"
}
expect '-rwxr-xr-x' /usr/bin/kelvora
expect '-rw-r--r--' /usr/share/applications/example.kelvora.Kelvora.desktop
expect '-rw-r--r--' /usr/share/metainfo/example.kelvora.Kelvora.metainfo.xml
expect '-rw-r--r--' /usr/share/icons/hicolor/scalable/apps/kelvora.svg
expect '-rw-r--r--' /usr/share/doc/kelvora/copyright
expect '-rw-r--r--' /usr/share/doc/kelvora/changelog.gz
expect '-rw-r--r--' /usr/share/man/man1/kelvora.1.gz
for n in 16 32 48 128 256; do
  expect '-rw-r--r--' "/usr/share/icons/hicolor/${n}x${n}/apps/kelvora.png"
done

# Run-time needs that dpkg-shlibdeps cannot see must be declared by hand; the libraries it
# finds (libsodium23 for the PINs among them) are checked as well.
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for p in libqt6sql6-sqlite qt6-translations-l10n libqt6gui6 libqt6widgets6 libsodium23; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p"
done

root="$work/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/example.kelvora.Kelvora.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.kelvora.Kelvora.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
cat "$work/appstream.log"
! grep -Eq '^(E|W):' "$work/appstream.log" || fail "appstreamcli reported errors or warnings"
for n in 16 32 48 128 256; do
  file "$root/usr/share/icons/hicolor/${n}x${n}/apps/kelvora.png" | grep -q "PNG image data, $n x $n," ||
    fail "the ${n}x${n} icon is not a $n-pixel PNG"
done
file "$root/usr/bin/kelvora" | grep -q ', stripped' || fail "the program is not stripped"

# First start from the unpacked files on an empty disk: the start-up message keeps the
# program running, and the default data files are already written.
mkdir -p "$work/home" "$work/data" "$work/run"
chmod 700 "$work/run"
HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" \
  QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$root/usr/bin/kelvora" >"$work/program.log" 2>&1 &
pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || { cat "$work/program.log"; pid=""; fail "the program ended at start"; }
[ -s "$work/data/Kelvora/Zorbelayar.dll" ] || fail "no settings file in the data directory"
[ -d "$work/data/Kelvora/Masa Extraları" ] || fail "no extras directory in the data directory"
echo "PASS: package $(basename "$deb")"
