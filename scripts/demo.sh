#!/usr/bin/env bash
# Shows the update on a small demo game in a private Wine prefix: the game is
# registered with old files in C:\Program Files\<maker>\<data folder> (for
# Vellomira, C:\Program Files\Torvane\Vellomira), and a copy of update.exe
# sits in build/demo/program with the new files in its data folder. The
# names, the folders and the record come from the product file the build
# read (<build>/product). On a desktop the window opens for you to click;
# without a display (or with CI set) it runs under Xvfb, presses Update
# itself, saves screenshots (build/demo/update.png, build/demo/finished.png)
# and reports which files changed.
#
# With --install it shows the setup road instead: setup.exe installs the game
# from a CD-ROM drive labelled as the game's disc (a folder mapped as d:)
# into the same folder, with the registration record and the Start-menu
# shortcuts; without a display it answers the dialogs itself and saves
# build/demo/setup.png, options.png and installed.png.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"
# shellcheck source=scripts/wine_env.sh
source "$root/scripts/wine_env.sh"
# shellcheck source=scripts/disc_files.sh
source "$root/scripts/disc_files.sh"

wine_pick_build
build="$root/build/$WINE_BUILD_NAME"
demo="$root/build/demo"
program="$demo/program"
setup="$demo/setup"
markers="$demo/markers"

# A Unix path as the Windows programs see it (drive Z: is the file system root).
windows_path() {
    local path="$1"
    printf 'Z:%s' "${path//\//\\}"
}

build_programs() {
    wine_describe_build "== Demo"
    echo "== building update.exe and setup.exe in $build"
    {
        cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WINE_TOOLCHAIN" >"$demo/build.log" 2>&1 &&
            cmake --build "$build" -j2 --target update setup demo_driver >>"$demo/build.log" 2>&1
    } || {
        wine_show_log "build failed" "$demo/build.log"
        exit 1
    }
    # The product's values and lists, as the build wrote them.
    # shellcheck source=/dev/null
    source "$build/product/product.env"
    mapfile -t install_names <"$build/product/install-list.txt"
    mapfile -t update_names <"$build/product/update-list.txt"
    record_key="HKLM\\$PRODUCT_REGISTRY_KEY"
    game_windows_path="C:\\Program Files\\$PRODUCT_MAKER\\$PRODUCT_DATA_FOLDER"
}

# name, contents, date
put_file() {
    printf '%s\r\n' "$2" >"$1"
    touch -d "$3" "$1"
}

# The private prefix, without desktop entries for the shortcuts setup makes.
prepare_prefix() {
    # One prefix per build: a 64-bit prefix needs the 64-bit loader.
    wine_env "$demo/wineprefix-$WINE_BUILD_NAME" || exit 1
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
    wine_server_stop
    wine_prefix_init || exit 1
    game="$WINEPREFIX/drive_c/Program Files/$PRODUCT_MAKER/$PRODUCT_DATA_FOLDER"
    group="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$PRODUCT_MAKER"
    rm -rf "$markers"
}

# The old game: its executable, its first optional part, its readme and the
# update list's first name. The new files add the update list's last name.
prepare_game() {
    echo "== preparing the demo game in $demo/wineprefix-$WINE_BUILD_NAME"
    prepare_prefix
    rm -rf "$game" "$program"
    mkdir -p "$game" "$program/$PRODUCT_DATA_FOLDER" "$markers"
    local name old_names=("${install_names[0]}" "${install_names[1]}" "${install_names[10]}"
                          "${update_names[@]:0:1}")
    for name in "${old_names[@]}"; do
        put_file "$game/$name" "old $name, version 1.0" "2019-04-01 10:00"
    done
    put_file "$game/savedata.dat" "the player's save, not touched" "2019-05-01 10:00"
    for name in "${old_names[@]}" "${update_names[@]: -1}"; do
        put_file "$program/$PRODUCT_DATA_FOLDER/$name" "new $name, version 1.1 with more in it" \
            "2024-06-01 09:30"
    done
    cp "$build/update.exe" "$program/"
    wine reg add "$record_key" /v Dir /t REG_SZ /d "$game_windows_path" /f >/dev/null
    wine reg add "$record_key" /v CD /t REG_SZ /d 'D:' /f >/dev/null
    wine reg add "$record_key" /v InstType /t REG_DWORD /d 2 /f >/dev/null
    wine_server_stop
}

# No game installed, a disc in drive d: and setup.exe in build/demo/setup.
prepare_setup() {
    echo "== preparing the disc and setup.exe in $demo/wineprefix-$WINE_BUILD_NAME"
    prepare_prefix
    rm -rf "$game" "$group" "$setup" "$demo/disc"
    wine reg delete "$record_key" /f >/dev/null 2>&1 || true
    make_disc_files "$demo/disc/$PRODUCT_DATA_FOLDER" 2M "$build/product/install-list.txt"
    wine_add_drive d "$demo/disc" cdrom "$PRODUCT_DISC_LABEL" || exit 1
    mkdir -p "$setup" "$markers"
    cp "$build/setup.exe" "$setup/"
}

report_install() {
    echo "Installed files in $game_windows_path:"
    (cd "$game" 2>/dev/null && stat -c '  %-15n %7s bytes' -- *) || echo "  (none)"
    echo "Start-menu shortcuts:"
    (cd "$group" 2>/dev/null && find . -name '*.lnk' | sed 's|^\./|  |') || echo "  (none)"
    echo "Registration record:"
    wine reg query "$record_key" 2>/dev/null | tr -d '\r' | grep -E 'Dir|CD|InstType' ||
        echo "  (none)"
    wine_server_stop
}

# One line per game file: name, size, write and access times.
snapshot_game_files() {
    (cd "$game" && stat -c '%n|%s|%y|%x' -- *)
}

# Prints each file with its size and times before and after the update.
report_changes() {
    local before="$1" after="$2" name size written accessed old
    echo "Game files in $game_windows_path:"
    while IFS='|' read -r name size written accessed; do
        old="$(grep -F "$name|" "$before" | head -n 1 || true)"
        if [ -z "$old" ]; then
            printf '  %-14s NEW        %7s bytes, written %.19s, accessed %.19s\n' \
                "$name" "$size" "$written" "$accessed"
        elif [ "$old" = "$name|$size|$written|$accessed" ]; then
            printf '  %-14s unchanged  %7s bytes, written %.19s\n' "$name" "$size" "$written"
        else
            IFS='|' read -r _ old_size old_written _ <<<"$old"
            printf '  %-14s CHANGED    %7s -> %s bytes, written %.19s -> %.19s\n' \
                "$name" "$old_size" "$size" "$old_written" "$written"
        fi
    done <"$after"
}

# Takes a screenshot whenever the driver asks for one, until stopped.
screenshot_on_request() {
    local ready step
    while :; do
        for ready in "$markers"/*.ready; do
            [ -e "$ready" ] || continue
            step="$(basename "$ready" .ready)"
            import -window root "$demo/$step.png" && echo "screenshot: $demo/$step.png"
            rm -f "$ready"
            touch "$markers/$step.done"
        done
        sleep 0.2
    done
}

# mode (update or install), the program to drive
run_with_driver() {
    echo "== no display: running under Xvfb, the driver presses the buttons"
    export demo markers
    xvfb-run -a -s '-screen 0 800x600x24' bash -c "$(declare -f screenshot_on_request)"'
        wineserver -p
        screenshot_on_request & shooter=$!
        trap "kill $shooter; wineserver -k; wineserver -w" EXIT
        wine "$1" "$2" "$3" "$4"' demo-run "$build/demo_driver.exe" "$1" \
        "$(windows_path "$2")" "$(windows_path "$markers")"
}

# the program to run
run_on_desktop() {
    (cd "$(dirname "$1")" && wine "$(basename "$1")")
    wine_server_stop
}

headless() {
    [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]
}

demo_update() {
    prepare_game
    snapshot_game_files >"$demo/before.txt"
    if headless; then
        run_with_driver update "$program/update.exe"
    else
        echo "== the update window opens on your display: press アップデート (Update)"
        run_on_desktop "$program/update.exe"
    fi
    snapshot_game_files >"$demo/after.txt"
    report_changes "$demo/before.txt" "$demo/after.txt"
}

demo_install() {
    prepare_setup
    if headless; then
        run_with_driver install "$setup/setup.exe"
    else
        echo "== the setup window opens on your display: press インストール (install)"
        run_on_desktop "$setup/setup.exe"
    fi
    report_install
}

main() {
    case "${1:-}" in
        "" | --install) ;;
        *) echo "usage: scripts/demo.sh [--install]" >&2; exit 2 ;;
    esac
    ensure_prerequisites imagemagick fonts-noto-cjk
    restart_after_new_locale "$0" "$@"
    mkdir -p "$demo"
    build_programs
    if [ "${1:-}" = --install ]; then
        demo_install
    else
        demo_update
    fi
}

main "$@"
