# The release stories: what scripts/package.sh makes, used under Wine the
# way a player uses it. Source it after wine_env.sh, disc_files.sh and
# pe_check.sh; then, with the Windows tests' prefix prepared (wine_env) and
# their tree built, call
#
#   release_story_disc <tree> <work folder>
#   release_story_update <tree> <work folder>
#
# Each prints what it found and returns non-zero when the story failed, 77
# (after a line "story: skipped: <why>") when this machine cannot tell. The
# demo's driver (demo_driver.exe of the tree) presses the buttons.

release_stories_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

story_fail() {
    echo "story: $*" >&2
    return 1
}

# Packages a product for the tree's Windows build: the log, the product
# file, a folder of the game's files, the release folder, and further
# options of package.sh.
story_package() {
    "$release_stories_root/scripts/package.sh" --product "$2" --out "$4" \
        --arch "$WINE_BUILD_ARCH" "${@:5}" "$3" >"$1" 2>&1 ||
        story_fail "package.sh failed (log: $1)"
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
# label the system reads is checked as well. It runs in a subshell, whose
# trap takes the image out of the drive however the story ends.
release_story_disc() (
    local tree="$1" work="$2/disc" driver="$1/demo_driver.exe" game names status=0
    # shellcheck source=/dev/null
    source "$tree/product/product.env"
    rm -rf "$work"
    make_disc_files "$work/files" 2M "$tree/product/install-list.txt" \
        "$tree/product/update-list.txt"
    story_package "$work/release.log" "$PRODUCT_FILE" "$work/files" "$work/release" || return 1
    # No game installed: no record, no folder.
    wine reg delete "HKLM\\$PRODUCT_REGISTRY_KEY" /f >/dev/null 2>&1
    game="$WINEPREFIX/drive_c/Program Files/$PRODUCT_MAKER/$PRODUCT_DATA_FOLDER"
    rm -rf "$game"
    trap 'wine_remove_disc_image d' EXIT
    trap 'exit 130' INT TERM
    wine_add_disc_image d "$work/release/$PRODUCT_NAME-disc.iso" "$PRODUCT_DISC_LABEL" ||
        status=$?
    if [ "$status" -eq 2 ]; then
        echo "story: skipped: the disc image cannot be mounted on this machine (no FUSE)"
        return 77
    fi
    [ "$status" -eq 0 ] || story_fail "the disc image could not go into d:" || return 1
    [ "$WINE_DISC_LABEL_FROM_FILE" -eq 0 ] || echo "story: label not proven: no loop device" \
        "here, so d: shows a label file laid over the image, not the image's own label"
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
)

# A code-signing certificate made for the story, in a folder: cert.pem and
# cert.pfx, whose password is $STORY_PFX_PASSWORD.
story_certificate() {
    {
        mkdir -p "$1" &&
            openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=story -days 2 \
                -addext extendedKeyUsage=codeSigning -keyout "$1/key.pem" -out "$1/cert.pem" &&
            openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -out "$1/cert.pfx" \
                -passout env:STORY_PFX_PASSWORD
    } >/dev/null 2>&1 || story_fail "cannot make a test certificate"
}

# Unpacks a zip into a folder as the Windows shell of a Japanese system
# does, reading names without the UTF-8 flag in code page 932. Fails unless
# every entry comes from an MS-DOS host without that flag, and every name
# beyond ASCII carries its UTF-8 form, with the CRC-32 of the stored name,
# in an Info-ZIP Unicode Path field, as 7-Zip and the others read it.
story_unzip_as_windows() {
    python3 - "$1" "$2" <<'EOF' || story_fail "the zip is not as a Japanese Windows reads it"
import struct, sys, zipfile, zlib

def unicode_path(extra):
    while len(extra) >= 4:
        kind, size = struct.unpack("<HH", extra[:4])
        if kind == 0x7075:
            return extra[4:4 + size]
        extra = extra[4 + size:]

with zipfile.ZipFile(sys.argv[1], metadata_encoding="cp932") as archive:
    for entry in archive.infolist():
        stored = entry.filename.encode("cp932")
        if entry.flag_bits & 0x800 or entry.create_system != 0:
            sys.exit(f"{entry.filename}: flagged as UTF-8, or not from an MS-DOS host")
        field = None if stored.isascii() else (
            b"\x01" + struct.pack("<I", zlib.crc32(stored)) + entry.filename.encode())
        if unicode_path(entry.extra) != field:
            sys.exit(f"{entry.filename}: no Unicode Path field that matches it")
    archive.extractall(sys.argv[2])
EOF
}

# Whether update.sfv of a data folder, read as a Japanese Windows reads it,
# names the files of a list (one a line) in its order, with CRLF line ends,
# and checks clean with cksfv: the data folder, the list, a scratch file.
story_checksums_clean() {
    iconv -f CP932 -t UTF-8 "$1/update.sfv" >"$3" &&
        diff <(grep -v '^;' "$3" | sed 's/ [0-9A-F]\{8\}\r$//') "$2" ||
        story_fail "update.sfv does not name the listed files in order, one a CRLF line" ||
        return 1
    cksfv -q -C "$1" -f "$3" || story_fail "update.sfv does not check clean"
}

# A packaging that is refused (its files folder inside the release) or that
# fails late (a wrong password for the certificate) leaves the release as
# it was and ends saying that nothing was written: the product file, the
# release folder, the files, the certificate's folder.
story_failures_keep_release() {
    local before log inside="$2/$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER"
    before="$(cd "$2" && find . -mindepth 1 -printf '%P %s %T@\n' | sort)"
    ! STORY_PFX_PASSWORD=wrong story_package "$2-signing.log" "$1" "$3" "$2" \
        --sign "$4/cert.pfx" --password-env STORY_PFX_PASSWORD 2>/dev/null ||
        story_fail "package.sh signed with a wrong password" || return 1
    ! story_package "$2-inside.log" "$1" "$inside" "$2" 2>/dev/null ||
        story_fail "package.sh took files from inside its release" || return 1
    grep -qF "lies inside the output folder" "$2-inside.log" ||
        story_fail "package.sh did not say why it refused the files (log: $2-inside.log)" ||
        return 1
    for log in "$2-signing.log" "$2-inside.log"; do
        tail -n 1 "$log" | grep -q '^package: .*nothing was written$' ||
            story_fail "package.sh did not end saying that nothing was written (log: $log)" ||
            return 1
    done
    [ "$(cd "$2" && find . -mindepth 1 -printf '%P %s %T@\n' | sort)" = "$before" ] ||
        story_fail "a failed packaging changed the release in $2"
}

# Changes one byte in the middle of a file, as a mirror that swaps a file
# would, and makes the checksum file of its folder anew to match, names in
# code page 932: the file, the checksum file.
story_tamper() {
    python3 - "$1" "$2" <<'EOF' || story_fail "cannot change $1"
import os, sys, zlib
path, sfv = sys.argv[1], sys.argv[2]
data = bytearray(open(path, "rb").read())
data[len(data) // 2] ^= 0x01
open(path, "wb").write(data)
name = os.path.basename(path).encode("cp932")
lines = open(sfv, "rb").read().split(b"\r\n")
lines = [line if not line.startswith(name + b" ") else
         name + b" %08X" % zlib.crc32(data) for line in lines]
open(sfv, "wb").write(b"\r\n".join(lines))
EOF
}

# A copy of the signed setup.exe beside a copy of the data folder with one
# byte of a file changed and update.sfv to match: setup.exe, installing
# from its own folder, says the install failed and leaves no listed file:
# the release's work folder, its data folder, setup.exe, the driver.
story_tampered_install_refused() {
    local work="$1" data="$2" folder="$WINEPREFIX/drive_c/disc-copy" first
    local installed="$WINEPREFIX/drive_c/Program Files/$PRODUCT_MAKER/$PRODUCT_DATA_FOLDER"
    rm -rf "$folder" "$installed"
    mkdir -p "$folder" && cp "$3" "$folder/setup.exe" && cp -r "$data" "$folder/" ||
        story_fail "cannot copy the disc's files" || return 1
    first="$(head -n 1 "$work/product/install-list.txt")"
    story_tamper "$folder/$PRODUCT_DATA_FOLDER/$first" "$folder/$PRODUCT_DATA_FOLDER/update.sfv" ||
        return 1
    wine_server_stop
    story_in_display wine "$4" install "C:\\disc-copy\\setup.exe" - >"$work/tampered-install.log" 2>&1
    cat "$work/tampered-install.log"
    grep -qF "インストールが正常に行われませんでした。" "$work/tampered-install.log" ||
        story_fail "setup.exe installed from a changed folder" || return 1
    [ -z "$(ls -A "$installed" 2>/dev/null)" ] ||
        story_fail "the refused install left files in $installed" || return 1
    rm -rf "$folder"
}

# The second product, with Japanese names, packaged and signed by
# package.sh with an unlisted file in its folder. The zip unpacks as a
# Japanese Windows unpacks it into exactly the listed files, update.exe and
# update.sfv, which checks clean; both programs' signatures verify; failed
# packagings leave the release alone. Its update.exe, unpacked from the
# zip, runs on a registered game of old files: Update brings every listed
# file and the completion box.
release_story_update() {
    local tree="$1" work="$2/update" driver="$1/demo_driver.exe" game key name download tampered
    local product="$release_stories_root/tests/products/hoshimi.cmake" release data
    rm -rf "$work"
    cmake -DPRODUCT="$product" -DPRODUCT_OUT="$work/product" \
        -P "$release_stories_root/cmake/product.cmake" || return 1
    # shellcheck source=/dev/null
    source "$work/product/product.env"
    make_disc_files "$work/files" 1M "$work/product/install-list.txt" \
        "$work/product/update-list.txt"
    printf 'not for players\n' >"$work/files/notes.txt"
    export STORY_PFX_PASSWORD=story-password
    story_certificate "$work/certificate" || return 1
    release="$work/release"
    story_package "$work/release.log" "$product" "$work/files" "$release" \
        --sign "$work/certificate/cert.pfx" --password-env STORY_PFX_PASSWORD || return 1
    grep -qF "left out: notes.txt" "$work/release.log" ||
        story_fail "package.sh did not warn of the unlisted notes.txt" || return 1
    story_failures_keep_release "$product" "$release" "$work/files" "$work/certificate" ||
        return 1

    download="$WINEPREFIX/drive_c/download"
    data="$download/$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER"
    rm -rf "$download"
    story_unzip_as_windows "$release/$PRODUCT_NAME-update.zip" "$download" || return 1
    awk '!seen[$0]++' "$work/product/install-list.txt" "$work/product/update-list.txt" \
        >"$work/distinct.txt"
    diff <(cd "$download" && find . -type f -printf '%P\n' | sort) <(
        { echo "$PRODUCT_NAME-update/update.exe"; echo update.sfv; cat "$work/distinct.txt"; } |
            awk -v at="$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER/" 'NR == 1 || $0 = at $0' |
            sort) ||
        story_fail "the zip unpacks into other files than the product lists" || return 1
    diff <(cd "$download" && find . -mindepth 1 -printf '%P\n' | sort) \
        <(unzip -Z1 "$release/$PRODUCT_NAME-update.zip" | sed 's|/$||' | sort) ||
        story_fail "Info-ZIP, reading the Unicode Path fields, sees other names" || return 1
    story_checksums_clean "$data" "$work/distinct.txt" "$work/update.sfv" || return 1
    LC_ALL=C.UTF-8 xorriso -osirrox on -indev "$release/$PRODUCT_NAME-disc.iso" \
        -extract /setup.exe "$work/setup.exe" \
        -extract "/$PRODUCT_DATA_FOLDER/update.sfv" "$work/disc.sfv" >/dev/null 2>&1 &&
        cmp -s "$work/disc.sfv" "$data/update.sfv" ||
        story_fail "the disc does not carry the zip's update.sfv" || return 1
    for name in "$download/$PRODUCT_NAME-update/update.exe" "$work/setup.exe"; do
        osslsigncode verify -CAfile "$work/certificate/cert.pem" -in "$name" >/dev/null 2>&1 ||
            story_fail "the signature of $name does not verify" || return 1
        carries_release_manifest "$name" || story_fail "$name carries no release manifest" ||
            return 1
    done
    ! osslsigncode verify -CAfile "$work/certificate/cert.pem" -in "$tree/update.exe" \
        >/dev/null 2>&1 || story_fail "an unsigned update.exe passes as the signed one" || return 1
    story_tampered_install_refused "$work" "$data" "$work/setup.exe" "$driver" || return 1

    game="$WINEPREFIX/drive_c/Games/$PRODUCT_DATA_FOLDER"
    key="HKLM\\$PRODUCT_REGISTRY_KEY"
    rm -rf "$game"
    mkdir -p "$game"
    mapfile -t names < <(cat "$work/product/install-list.txt" "$work/product/update-list.txt")
    for name in "${names[@]}"; do printf 'old %s\n' "$name" >"$game/$name"; done
    wine reg add "$key" /v Dir /t REG_SZ /d "C:\\Games\\$PRODUCT_DATA_FOLDER" /f >/dev/null 2>&1 &&
        wine reg add "$key" /v CD /t REG_SZ /d 'D:' /f >/dev/null 2>&1 &&
        wine reg add "$key" /v InstType /t REG_DWORD /d 2 /f >/dev/null 2>&1 ||
        story_fail "cannot register the game" || return 1
    wine_server_stop

    # The same release from a mirror that changed one file and its line in
    # update.sfv: refused, and every game file stays old.
    tampered="$WINEPREFIX/drive_c/tampered"
    rm -rf "$tampered" && mkdir -p "$tampered" && cp -r "$download/$PRODUCT_NAME-update" "$tampered/" ||
        story_fail "cannot copy the release" || return 1
    story_tamper "$tampered/$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER/$(tail -n 1 "$work/distinct.txt")" \
        "$tampered/$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER/update.sfv" || return 1
    story_in_display wine "$driver" update "C:\\tampered\\$PRODUCT_NAME-update\\update.exe" - \
        >"$work/tampered-update.log" 2>&1
    cat "$work/tampered-update.log"
    grep -qF "が壊れているか、見つかりません。" "$work/tampered-update.log" ||
        story_fail "update.exe took a changed file" || return 1
    for name in "${names[@]}"; do
        [ "$(cat "$game/$name")" = "old $name" ] || story_fail "$name changed" || return 1
    done

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
