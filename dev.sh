#!/usr/bin/env bash
# Sets up what is missing, builds, and then runs the program or the test suite.
#   ./dev.sh run     build and start the catalogue window
#   ./dev.sh test    build and run every test
set -euo pipefail
cd "$(dirname "$0")"

BUILD_DIR=${BUILD_DIR:-build}
PACKAGES=(cmake g++ make qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins)

missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

ensure_packages() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

build() {
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}

case "${1:-}" in
run)
    shift
    ensure_packages "${PACKAGES[@]}"
    build
    exec "$BUILD_DIR/bin/photoseries" "$@"
    ;;
test)
    ensure_packages "${PACKAGES[@]}"
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
