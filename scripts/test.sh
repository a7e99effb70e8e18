#!/usr/bin/env bash
# Runs every test: the native unit tests and the product file's checks under
# AddressSanitizer and under ThreadSanitizer, the build and header check of
# the shipped 32-bit programs, then the Windows tests (the platform layer and
# the real programs driven through their windows) under Wine in one Xvfb
# session: with the shipped 32-bit build where this machine runs 32-bit
# code, else with the same sources built for x86_64 (scripts/wine_env.sh);
# last, in their prefix, the release stories (what scripts/package.sh makes,
# used as a player uses it). Prints one summary line per suite and ends with
# "N passed, N failed", counting suites; exits non-zero when anything
# failed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"
# shellcheck source=scripts/wine_env.sh
source "$root/scripts/wine_env.sh"
# shellcheck source=scripts/disc_files.sh
source "$root/scripts/disc_files.sh"
# shellcheck source=scripts/pe_check.sh
source "$root/scripts/pe_check.sh"
# shellcheck source=tests/e2e/release_stories.sh
source "$root/tests/e2e/release_stories.sh"

jobs=2
wine_ready=0  # whether the Windows tests' tree is built and its prefix prepared
summary=()
total_passed=0
total_failed=0

# Adds a suite's outcome from its ctest log (or a failed build) to the totals.
record_suite() {
    local name="$1" log="$2" passed=0 failed=1 line
    line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)"
    if [ -n "$line" ]; then
        local out_of
        failed="$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")"
        out_of="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
        passed=$((out_of - failed))
    fi
    summary+=("$(printf '%-34s %d passed, %d failed' "$name:" "$passed" "$failed")")
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
}

# Adds a suite that is a single check (no ctest log) to the totals.
record_check() {
    local name="$1" passed="$2"
    summary+=("$(printf '%-34s %d passed, %d failed' "$name:" "$passed" $((1 - passed)))")
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + 1 - passed))
}

# A suite that could not run on this machine, with the story's reason; it
# counts neither way.
record_skip() {
    summary+=("$(printf '%-34s skipped: %s' "$1:" "$2")")
}

# Configures and builds one tree (every target, or those after --target);
# the log gets the output.
build_tree() {
    local dir="$1" log="$2" targets=()
    shift 2
    if [ "${1:-}" = --target ]; then
        targets=(--target "${@:2}")
        set --
    fi
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" "${cmake_options[@]}" >"$log" 2>&1 &&
        cmake --build "$dir" -j"$jobs" "${targets[@]}" >>"$log" 2>&1
}

run_native_suite() {
    local name="$1" sanitizer="$2" dir="$root/build/native-$3"
    local log="$dir.log"
    echo "== $name: building in $dir"
    local cmake_options=(-DSANITIZE="$sanitizer")
    if build_tree "$dir" "$log"; then
        echo "== $name: running"
        (cd "$dir" && ctest --output-on-failure --timeout 1200) 2>&1 | tee -a "$log" || true
    else
        wine_show_log "== $name: build failed" "$log"
    fi
    record_suite "$name" "$log"
}

# The programs users get are the 32-bit ones: built and their headers
# checked on every machine, whether or not it can run them.
check_shipped_programs() {
    local name="shipped 32-bit programs" build="$root/build/win32" log="$root/build/win32.log"
    local cmake_options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake")
    local targets=(update setup)
    # Where the Windows tests run this build, the tree builds their programs too.
    [ "$WINE_BUILD_ARCH" = i686 ] && targets=(all)
    echo "== $name: cross-building in $build"
    if ! build_tree "$build" "$log" --target "${targets[@]}"; then
        wine_show_log "== $name: build failed" "$log"
        record_check "$name" 0
        return
    fi
    if check_shipped_program "$build/update.exe" 105 &&
        check_shipped_program "$build/setup.exe" 105 109; then
        record_check "$name" 1
    else
        record_check "$name" 0
    fi
}

# A fresh prefix with the drives the Windows tests use: d: a CD-ROM labelled
# as the game's disc (with its manual), e: a fixed disk. The game is the
# product the build read.
prepare_wine() {
    local build="$1" media="$1/media"
    # shellcheck source=/dev/null
    source "$build/product/product.env"
    wine_env "$build/wineprefix" || return 1
    # No desktop entries for the shortcuts the tests make: the helper that
    # writes them outlives the test and holds ctest's output open.
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
    wine_server_stop
    # A disc image that an earlier run left in d: (its mounts are outside).
    wine_remove_disc_image d
    rm -rf "$WINEPREFIX" "$media"
    mkdir -p "$media/disc"
    make_disc_files "$media/disc/$PRODUCT_DATA_FOLDER" 768M "$build/product/install-list.txt"
    # The manual sits at the disc's root, beside the data folder.
    mkdir -p "$media/disc/manual"
    printf '<html></html>\n' >"$media/disc/manual/manual.html"
    wine_prefix_init || return 1
    wine_add_drive d "$media/disc" cdrom "$PRODUCT_DISC_LABEL" || return 1
    export TEST_CDROM_DRIVE=d: TEST_CDROM_LABEL="$PRODUCT_DISC_LABEL"
    wine_server_stop
}

# Both Windows test programs in one display session, with one Wine server
# kept alive for the whole run so that each program starts quickly.
run_wine_suite() {
    local name="Windows tests under Wine ($WINE_BUILD_ARCH)" build="$root/build/$WINE_BUILD_NAME"
    local log="$build.log"
    local cmake_options=(-DCMAKE_TOOLCHAIN_FILE="$WINE_TOOLCHAIN")
    wine_describe_build "== Windows tests"
    # The i686 tree was built whole by check_shipped_programs.
    if [ "$WINE_BUILD_ARCH" != i686 ]; then
        echo "== $name: cross-building in $build"
        if ! build_tree "$build" "$log"; then
            wine_show_log "== $name: build failed" "$log"
            record_suite "$name" "$log"
            return
        fi
    fi
    echo "== $name: preparing the Wine prefix"
    if ! prepare_wine "$build"; then
        echo "== $name: the Wine prefix could not be prepared" >> "$log"
        record_check "$name" 0
        return
    fi
    wine_ready=1
    echo "== $name: running"
    xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
        wineserver -p
        trap "wineserver -k; wineserver -w" EXIT
        # Start the prefix'"'"'s background services now: started by a test,
        # they would keep its output pipe, and so ctest, waiting.
        wine wineboot.exe >/dev/null 2>&1
        cd "$1" && ctest --output-on-failure --timeout 1200' wine-run "$build" 2>&1 |
        tee -a "$log" || true
    record_suite "$name" "$log"
}

# What package.sh makes, used as a player uses it, in the Windows tests'
# prefix after their tests (tests/e2e/release_stories.sh). A story that
# returns 77 could not run here and says why.
run_release_stories() {
    local tree="$root/build/$WINE_BUILD_NAME" story name log status
    for story in disc update; do
        case "$story" in
            disc) name="release story: disc install" ;;
            update) name="release story: second product" ;;
        esac
        log="$tree/stories-$story.log"
        echo "== $name"
        status=1
        if [ "$wine_ready" -eq 1 ]; then
            status=0
            "release_story_$story" "$tree" "$tree/stories" 2>&1 | tee "$log" || status=$?
        fi
        case "$status" in
            0) record_check "$name" 1 ;;
            77) record_skip "$name" "$(sed -n 's/^story: skipped: //p' "$log" | tail -n 1)" ;;
            *) record_check "$name" 0 ;;
        esac
    done
}

main() {
    local started=$SECONDS
    ensure_prerequisites
    restart_after_new_locale "$0" "$@"
    wine_pick_build
    wine_describe_build "Windows tests"
    run_native_suite "native, AddressSanitizer" address asan
    run_native_suite "native, ThreadSanitizer" thread tsan
    check_shipped_programs
    run_wine_suite
    run_release_stories
    echo
    printf '%s\n' "${summary[@]}"
    echo "(took $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s)"
    echo "$total_passed passed, $total_failed failed"
    [ "$total_failed" -eq 0 ]
}

main "$@"
