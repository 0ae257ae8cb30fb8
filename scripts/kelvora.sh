#!/usr/bin/env bash
# Installs what is missing (Debian packages only), builds, then starts the program ("run"),
# runs every test through CTest ("test") or builds the Debian package ("package"); "bench"
# and "startup" run the measuring tools.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-translations-l10n qt6-qpa-plugins
  libqt6sql6-sqlite libsodium-dev
  libgl-dev fonts-dejavu-core
  xvfb xauth xdotool x11-utils x11-apps imagemagick trayer openbox wmctrl
  dpkg-dev lintian appstream desktop-file-utils file librsvg2-bin
  clang libclang-rt-14-dev
  dbus-daemon at-spi2-core python3-pyatspi poppler-utils
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_all() {
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j "$(nproc)"
}

# The whole suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Reports go to files, so those of programs that a test starts are seen as well. Tests
# labelled no-sanitizer are left out: the fuzzer is sanitized by itself.
sanitized_tests() {
  local asan="$here/build-asan" logs="$here/build-asan/sanitizer-logs"
  # Called after ||, where set -e does not hold.
  # The measuring tools are built (and kept building) by the first pass.
  cmake -S "$here" -B "$asan" -DKELVORA_SANITIZE=ON -DKELVORA_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" || return 1
  cmake --build "$asan" -j "$(nproc)" || return 1
  rm -rf "$logs" && mkdir -p "$logs"
  local status=0
  (cd "$asan" &&
    ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:log_path=$logs/asan" \
    LSAN_OPTIONS="suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan" \
    ctest --output-on-failure -j "$(nproc)" -LE no-sanitizer) || status=$?
  local reports=("$logs"/*)
  if [ -e "${reports[0]}" ]; then
    echo "Sanitizer reports:"
    for r in "${reports[@]}"; do echo "== $r"; cat "$r"; done
    status=1
  fi
  return "$status"
}

case "${1:-}" in
  run)
    install_missing
    build_all
    exec "$build/app/kelvora"
    ;;
  test)
    install_missing
    build_all
    status=0
    (cd "$build" && ctest --output-on-failure -j "$(nproc)") || status=$?
    sanitized_tests || status=1
    exit "$status"
    ;;
  package)
    install_missing
    build_all
    (cd "$build" && cpack)
    ls "$build"/kelvora_*.deb
    ;;
  bench)
    # Handler and record-file timings; see "Measuring" in README.md.
    install_missing
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_BENCH=ON
    cmake --build "$build" -j "$(nproc)" --target kelvora_bench
    exec bash "$here/bench/run-bench.sh" "$build" "${@:2}"
    ;;
  startup)
    # Start-up time and peak memory against a bare Qt window.
    install_missing
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_BENCH=ON
    cmake --build "$build" -j "$(nproc)" --target kelvora kelvora_bare kelvora_launch kelvora_benchdata \
      kelvora_startprobe
    exec bash "$here/bench/compare-startup.sh" "$build" "${@:2}"
    ;;
  *)
    echo "usage: $0 run|test|package|bench|startup" >&2
    exit 2
    ;;
esac
