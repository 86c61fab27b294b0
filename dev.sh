#!/usr/bin/env bash
# Sets up what is missing, builds, and then runs the program or the test suite.
#   ./dev.sh run     build and start the catalogue window
#   ./dev.sh test    build and run every test, the real-display suite included
#   ./dev.sh x11     build and run only the real-display suite (virtual X display, real input)
#   ./dev.sh sanitize  the same tests built with the address and undefined-behaviour sanitizers
#   ./dev.sh fuzz [SECONDS]  fuzz the install-file and code-file readers (60 seconds each)
#   ./dev.sh bench   release build of the benchmark, then run it (data generated on first run)
#   ./dev.sh crash [KILLS]      the crash test with more kills (1000 by default)
#   ./dev.sh powercut [CUTS]    the power-cut test with more cuts (10000 by default)
#   ./dev.sh soak [SECONDS]     the two-program soak test for longer (600 seconds by default)
#   ./dev.sh package   the Debian package (build/package/photoseries_*.deb), then its checks
#   ./dev.sh format    check that sources and tests match .clang-format (clang-format 14)
#   ./dev.sh tidy      clang-tidy 14 with the checks of .clang-tidy over the build's compile commands
# PHOTOSERIES_WERROR=ON (as .ci/run sets it) makes the test build treat warnings as errors.
set -euo pipefail
cd "$(dirname "$0")"

BUILD_DIR=${BUILD_DIR:-build}
PACKAGES=(cmake g++ make qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins libsqlite3-dev)
# A team library on a PostgreSQL server: Qt's driver to open it, libpq's headers to build the
# import, which streams rows to the server with COPY.
PACKAGES+=(libqt6sql6-psql libpq-dev)
# The real-display suite: a virtual X server, real input, a window manager and its readiness check.
X11_PACKAGES=(xvfb xauth xdotool openbox x11-utils fonts-dejavu-core)
# The tests' own PostgreSQL server (tests/support/pg-server.sh), started by CTest's pgserver fixture.
# The sqlite3 shell plays another program that changes a library while the catalogue is open.
PG_TEST_PACKAGES=(postgresql-15 sqlite3)
# The published book's tests read the PDF back with pdfinfo, pdftotext and pdfimages.
PUBLISH_TEST_PACKAGES=(poppler-utils)

# The install tests validate the desktop entry and the metadata with these.
PACKAGES+=(desktop-file-utils appstream)

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

# build DIR [cmake options]; TARGETS limits what is built.
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$dir" -j"$(nproc)" ${TARGETS:+--target $TARGETS}
}

# run_tests DIR [ctest options]; the real-display tests set their own platform.
run_tests() {
    local dir=$1
    shift
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure "$@"
}

case "${1:-}" in
run)
    shift
    ensure_packages "${PACKAGES[@]}"
    build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    exec "$BUILD_DIR/bin/photoseries" "$@"
    ;;
test)
    ensure_packages "${PACKAGES[@]}" "${X11_PACKAGES[@]}" "${PG_TEST_PACKAGES[@]}" "${PUBLISH_TEST_PACKAGES[@]}"
    build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHOTOSERIES_WERROR="${PHOTOSERIES_WERROR:-OFF}"
    run_tests "$BUILD_DIR"
    ;;
x11)
    ensure_packages "${PACKAGES[@]}" "${X11_PACKAGES[@]}"
    TARGETS=tst_display build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_tests "$BUILD_DIR" -L x11
    ;;
sanitize)
    ensure_packages "${PACKAGES[@]}" "${PG_TEST_PACKAGES[@]}" "${PUBLISH_TEST_PACKAGES[@]}"
    build "$BUILD_DIR-asan" -DCMAKE_BUILD_TYPE=Debug -DPHOTOSERIES_SANITIZE=ON
    # Any report fails the run: UBSan does not recover, ASan stops at the first error.
    # The real-display suite runs in the ordinary build only: it checks what X shows, not memory.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_tests "$BUILD_DIR-asan" -LE x11
    ;;
fuzz)
    seconds=${2:-60}
    ensure_packages "${PACKAGES[@]}" clang libclang-rt-14-dev
    CC=clang CXX=clang++ TARGETS="fuzz_bks fuzz_codes" \
        build "$BUILD_DIR-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHOTOSERIES_FUZZ=ON
    artifacts="$BUILD_DIR-fuzz/artifacts"
    mkdir -p "$artifacts"
    for target in bks codes; do
        # Fuzz a copy of the seed corpus, so that the repository keeps only the chosen seeds.
        corpus="$BUILD_DIR-fuzz/corpus-$target"
        mkdir -p "$corpus"
        cp fuzz/corpus/$target/* "$corpus/"
        echo "Fuzzing the $target reader for $seconds seconds"
        "$BUILD_DIR-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus" 2>&1 | tail -n 12
    done
    ;;
bench)
    shift
    # The sqlite3 shell is the baseline the import is compared with.
    ensure_packages "${PACKAGES[@]}" sqlite3
    TARGETS=photoseries-bench build "$BUILD_DIR-bench" -DCMAKE_BUILD_TYPE=Release
    exec "$BUILD_DIR-bench/bin/photoseries-bench" "$@"
    ;;
crash | powercut | soak)
    # The reliability tests of the ordinary suite, run longer than CI runs them.
    test=$1
    ensure_packages "${PACKAGES[@]}"
    TARGETS="tst_$test" build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    case $test in
    crash) export CRASH_KILLS=${2:-1000} ;;
    # Qt Test ends a test function after five minutes; 10,000 cuts on a loaded machine take longer.
    powercut) export POWERCUT_CUTS=${2:-10000} QTEST_FUNCTION_TIMEOUT=${QTEST_FUNCTION_TIMEOUT:-86400000} ;;
    soak) export SOAK_SECONDS=${2:-600} ;;
    esac
    QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/tst_$test"
    ;;
package)
    # dpkg-shlibdeps (dpkg-dev) and file find the dependencies; the rest check the result.
    ensure_packages "${PACKAGES[@]}" dpkg-dev file lintian
    build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    rm -f "$BUILD_DIR"/package/photoseries_*.deb
    (cd "$BUILD_DIR" && cpack -G DEB)
    version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD_DIR/CPackConfig.cmake")
    packaging/check-package.sh "$(ls "$BUILD_DIR"/package/photoseries_*.deb)" "$version"
    ;;
format)
    ensure_packages clang-format
    find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
        xargs -0 clang-format --dry-run -Werror
    echo "Formatting matches .clang-format"
    ;;
tidy)
    ensure_packages "${PACKAGES[@]}" clang-tidy
    # The compile commands of the ordinary build (CMAKE_EXPORT_COMPILE_COMMANDS is on).
    build "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run-clang-tidy -p "$BUILD_DIR" -j"$(nproc)" -quiet "$(pwd)/(src|tests|bench)/"
    ;;
*)
    echo "usage: $0 run|test|x11|package|sanitize|fuzz [SECONDS]|bench|crash [KILLS]|powercut [CUTS]|soak [SECONDS]|format|tidy" >&2
    exit 2
    ;;
esac
