#!/usr/bin/env bash
# Installs what is missing (Debian packages only), builds, then starts the program ("run")
# or runs every test through CTest ("test"); "bench" and "startup" run the measuring tools.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-translations-l10n qt6-qpa-plugins
  libgl-dev fonts-dejavu-core
  xvfb xauth xdotool x11-utils x11-apps imagemagick trayer openbox wmctrl
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

case "${1:-}" in
  run)
    install_missing
    build_all
    exec "$build/app/kelvora"
    ;;
  test)
    install_missing
    build_all
    cd "$build" && ctest --output-on-failure -j "$(nproc)"
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
    echo "usage: $0 run|test|bench|startup" >&2
    exit 2
    ;;
esac
