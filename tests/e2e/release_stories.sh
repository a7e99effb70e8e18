# The release stories: what scripts/package.sh makes, used under Wine the
# way a player uses it. Source it after wine_env.sh and disc_files.sh; then,
# with the Windows tests' prefix prepared (wine_env) and their tree built,
# call
#
#   release_story_disc <tree> <work folder>
#   release_story_update <tree> <work folder>
#
# Each prints what it found and returns non-zero when the story failed. The
# demo's driver (demo_driver.exe of the tree) presses the buttons.

release_stories_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

story_fail() {
    echo "story: $*" >&2
    return 1
}

# Packages a product for the tree's Windows build: the product file, a
# folder of the game's files, the release folder.
story_package() {
    "$release_stories_root/scripts/package.sh" --product "$1" --out "$3" \
        --arch "$WINE_BUILD_ARCH" "$2" >"$3.log" 2>&1 ||
        story_fail "package.sh failed (log: $3.log)"
}

# Runs a command under Xvfb with one Wine server that owns the display.
story_in_display() {
    xvfb-run -a -s '-screen 0 1280x1024x24' bash -c '
        wineserver -p
        trap "wineserver -k; wineserver -w" EXIT
        wine wineboot.exe >/dev/null 2>&1
        "$@"' story "$@"
}

# Whether every named file of the game folder has the contents of the file
# of the same name in the files folder: the game folder, the files folder,
# the names.
story_same_files() {
    local game="$1" files="$2" name same=0
    shift 2
    for name in "$@"; do
        cmp -s "$game/$name" "$files/$name" || story_fail "$name is not the one in $files" ||
            same=1
    done
    return $same
}

# The install disc of the tree's product, made by package.sh, in the CD-ROM
# drive d: as the image itself (in place of the tests' folder disc):
# setup.exe on it finds the disc by its label and installs from it. Since a
# setup.exe started from the disc's root would take its own folder too, the
# label the system reads is checked as well.
release_story_disc() {
    local tree="$1" work="$2/disc" driver="$1/demo_driver.exe" game names status=0
    # shellcheck source=/dev/null
    source "$tree/product/product.env"
    rm -rf "$work"
    make_disc_files "$work/files" 2M "$tree/product/install-list.txt" \
        "$tree/product/update-list.txt"
    story_package "$PRODUCT_FILE" "$work/files" "$work/release" || return 1
    # No game installed: no record, no folder.
    wine reg delete "HKLM\\$PRODUCT_REGISTRY_KEY" /f >/dev/null 2>&1
    game="$WINEPREFIX/drive_c/Program Files/$PRODUCT_MAKER/$PRODUCT_DATA_FOLDER"
    rm -rf "$game"
    if ! wine_add_disc_image d "$work/release/$PRODUCT_NAME-disc.iso" "$PRODUCT_DISC_LABEL"; then
        wine_remove_disc_image d
        return 1
    fi
    story_in_display bash -c 'wine cmd /c vol d: | iconv -f CP932 -t UTF-8 >"$1"
        wine "$2" install "d:\\setup.exe" - >"$3" 2>&1' disc "$work/volume.txt" "$driver" \
        "$work/driver.log" || status=1
    wine_remove_disc_image d
    cat "$work/volume.txt" "$work/driver.log"
    [ "$status" -eq 0 ] || story_fail "the install did not end well (log: $work/driver.log)" ||
        return 1
    grep -qF "$PRODUCT_DISC_LABEL" "$work/volume.txt" ||
        story_fail "drive d: does not show the label $PRODUCT_DISC_LABEL" || return 1
    grep -qF "インストールが完了しました。" "$work/driver.log" ||
        story_fail "setup.exe did not report a finished install" || return 1
    mapfile -t names <"$tree/product/install-list.txt"
    story_same_files "$game" "$work/files" "${names[@]:0:11}"
}

# The second product, packaged by package.sh with an unlisted file in its
# folder, and its update.exe, unpacked from the zip, run on a registered
# game of old files: Update brings every listed file and the completion box.
release_story_update() {
    local tree="$1" work="$2/update" driver="$1/demo_driver.exe" game key name
    local product="$release_stories_root/tests/products/hoshimi.cmake"
    rm -rf "$work"
    cmake -DPRODUCT="$product" -DPRODUCT_OUT="$work/product" \
        -P "$release_stories_root/cmake/product.cmake" || return 1
    # shellcheck source=/dev/null
    source "$work/product/product.env"
    make_disc_files "$work/files" 1M "$work/product/install-list.txt" \
        "$work/product/update-list.txt"
    printf 'not for players\n' >"$work/files/notes.txt"
    story_package "$product" "$work/files" "$work/release" || return 1
    grep -qF "left out: notes.txt" "$work/release.log" ||
        story_fail "package.sh did not warn of the unlisted notes.txt" || return 1

    game="$WINEPREFIX/drive_c/Games/$PRODUCT_DATA_FOLDER"
    key="HKLM\\$PRODUCT_REGISTRY_KEY"
    rm -rf "$game" "$WINEPREFIX/drive_c/download"
    mkdir -p "$game"
    mapfile -t names < <(cat "$work/product/install-list.txt" "$work/product/update-list.txt")
    for name in "${names[@]}"; do printf 'old %s\n' "$name" >"$game/$name"; done
    wine reg add "$key" /v Dir /t REG_SZ /d "C:\\Games\\$PRODUCT_DATA_FOLDER" /f >/dev/null 2>&1 &&
        wine reg add "$key" /v CD /t REG_SZ /d 'D:' /f >/dev/null 2>&1 &&
        wine reg add "$key" /v InstType /t REG_DWORD /d 2 /f >/dev/null 2>&1 ||
        story_fail "cannot register the game" || return 1
    wine_server_stop
    unzip -q "$work/release/$PRODUCT_NAME-update.zip" -d "$WINEPREFIX/drive_c/download"

    story_in_display wine "$driver" update "C:\\download\\$PRODUCT_NAME-update\\update.exe" - \
        >"$work/driver.log" 2>&1 ||
        story_fail "the update did not end well (log: $work/driver.log)" || return 1
    cat "$work/driver.log"
    grep -qF "window \"$PRODUCT_TITLE Updata\"" "$work/driver.log" ||
        story_fail "no window \"$PRODUCT_TITLE Updata\"" || return 1
    grep -qF "アップデートが完了しました。" "$work/driver.log" ||
        story_fail "update.exe did not report a finished update" || return 1
    [ ! -e "$game/notes.txt" ] || story_fail "the unlisted notes.txt reached the game" ||
        return 1
    story_same_files "$game" "$work/files" "${names[@]}"
}
