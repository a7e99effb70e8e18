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
# demo's driver (demo_driver.exe of the tree) presses the buttons. Each also
# packages a patch release from two earlier versions of the game's files
# and plays it on games of those versions and of others.

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
    make_disc_files --packs 3M "$work/files" 2M "$tree/product/install-list.txt" \
        "$tree/product/update-list.txt"
    story_versions "$work"
    story_package "$work/release.log" "$PRODUCT_FILE" "$work/files" "$work/release" \
        --patch-from "$work/v1" --patch-from "$work/v2" || return 1
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
    story_same_files "$game" "$work/files" "${names[@]:0:11}" || return 1
    story_patch_release "$work" "$tree/product" "$work/release" "$driver"
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

# A packaging that is refused (its files folder inside the release, an
# earlier version's folder missing) or that fails late (a wrong password
# for the certificate) leaves the release as it was and ends saying that
# nothing was written: the product file, the release folder, the files,
# the certificate's folder, the folder of the earlier versions.
story_failures_keep_release() {
    local before log inside="$2/$PRODUCT_NAME-update/$PRODUCT_DATA_FOLDER"
    before="$(cd "$2" && find . -mindepth 1 -printf '%P %s %T@\n' | sort)"
    ! STORY_PFX_PASSWORD=wrong story_package "$2-signing.log" "$1" "$3" "$2" \
        --sign "$4/cert.pfx" --password-env STORY_PFX_PASSWORD --patch-from "$5/v1" \
        2>/dev/null || story_fail "package.sh signed with a wrong password" || return 1
    ! story_package "$2-inside.log" "$1" "$inside" "$2" 2>/dev/null ||
        story_fail "package.sh took files from inside its release" || return 1
    grep -qF "lies inside the output folder" "$2-inside.log" ||
        story_fail "package.sh did not say why it refused the files (log: $2-inside.log)" ||
        return 1
    ! story_package "$2-earlier.log" "$1" "$3" "$2" --patch-from "$5/v9" 2>/dev/null ||
        story_fail "package.sh made a patch from a missing folder" || return 1
    grep -qF "no folder $5/v9 (--patch-from)" "$2-earlier.log" ||
        story_fail "package.sh did not say why it refused the earlier version" || return 1
    for log in "$2-signing.log" "$2-inside.log" "$2-earlier.log"; do
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
    local tree="$1" work="$2/update" driver="$1/demo_driver.exe" game name download tampered
    local product="$release_stories_root/tests/products/hoshimi.cmake" release data
    rm -rf "$work"
    cmake -DPRODUCT="$product" -DPRODUCT_OUT="$work/product" \
        -P "$release_stories_root/cmake/product.cmake" || return 1
    # shellcheck source=/dev/null
    source "$work/product/product.env"
    # Packs of 2 MB, within the product's size table.
    make_disc_files --packs 2M "$work/files" 1M "$work/product/install-list.txt" \
        "$work/product/update-list.txt"
    story_versions "$work"
    printf 'not for players\n' >"$work/files/notes.txt"
    export STORY_PFX_PASSWORD=story-password
    story_certificate "$work/certificate" || return 1
    release="$work/release"
    story_package "$work/release.log" "$product" "$work/files" "$release" \
        --sign "$work/certificate/cert.pfx" --password-env STORY_PFX_PASSWORD \
        --patch-from "$work/v1" --patch-from "$work/v2" || return 1
    grep -qF "left out: notes.txt" "$work/release.log" ||
        story_fail "package.sh did not warn of the unlisted notes.txt" || return 1
    story_failures_keep_release "$product" "$release" "$work/files" "$work/certificate" \
        "$work" || return 1

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
    rm -rf "$game"
    mkdir -p "$game"
    mapfile -t names < <(cat "$work/product/install-list.txt" "$work/product/update-list.txt")
    for name in "${names[@]}"; do printf 'old %s\n' "$name" >"$game/$name"; done
    story_register "C:\\Games\\$PRODUCT_DATA_FOLDER" || return 1

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
    story_same_files "$game" "$work/files" "${names[@]}" || return 1
    story_patch_release "$work" "$work/product" "$release" "$driver" "$work/certificate/cert.pem"
}

# Registers the game of the product sourced, in a Windows folder.
story_register() {
    local key="HKLM\\$PRODUCT_REGISTRY_KEY"
    wine reg add "$key" /v Dir /t REG_SZ /d "$1" /f >/dev/null 2>&1 &&
        wine reg add "$key" /v CD /t REG_SZ /d 'D:' /f >/dev/null 2>&1 &&
        wine reg add "$key" /v InstType /t REG_DWORD /d 2 /f >/dev/null 2>&1 ||
        story_fail "cannot register the game" || return 1
    wine_server_stop
}

# Earlier versions of a work folder's files: v1 and v2, which the patch
# release serves, and v3, which it does not know.
story_versions() {
    local k
    for k in 1 2 3; do make_earlier_version "$1/files" "$1/v$k" "$k"; done
}

# What the patch release's data folder holds of each listed name, in order:
# the file whole, or its patches, or nothing. The data folder, the names.
story_patch_held() {
    local name
    while IFS= read -r name; do
        [ ! -e "$1/$name" ] || echo "$name"
        (cd "$1" && find . -maxdepth 1 -name "$name.*.zst" -printf '%f\n' | sort)
    done <"$2"
}

# Whether a data folder makes every listed file of an earlier version the
# new one, by zstd as the player applies it: it holds the file whole (the
# new one), or a patch from the earlier file, or nothing where the earlier
# file is the new one already. The data folder, the earlier files, the new
# files, the names.
story_patches_apply() {
    local data="$1" earlier="$2" files="$3" name patch made
    while IFS= read -r name; do
        if [ -e "$data/$name" ]; then
            cmp -s "$data/$name" "$files/$name" || story_fail "$name whole is not the new one" ||
                return 1
            continue
        fi
        [ -e "$earlier/$name" ] || story_fail "$name, absent in $earlier, is not shipped whole" ||
            return 1
        ! cmp -s "$earlier/$name" "$files/$name" || continue
        made=0
        for patch in "$data/$name".*.zst; do
            [ ! -e "$patch" ] || ! zstd -q -d -c --patch-from="$earlier/$name" "$patch" \
                2>/dev/null | cmp -s - "$files/$name" || made=1
        done
        [ "$made" -eq 1 ] || story_fail "no patch makes $name of $earlier the new one" || return 1
    done <"$4"
}

# The files of a folder with their sizes, times and inodes: what a refused
# or needless update must leave as it was.
story_snapshot() {
    (cd "$1" && find . -mindepth 1 \( -type d -printf '%P/\n' \) -o -printf '%P %s %T@ %i\n' |
        sort)
}

# Makes a game folder of a version's files, with a change: "as-is", or
# "edit" or "remove" of a file: the game folder, the version's files, the
# change, the file.
story_game_from() {
    rm -rf "$1" && mkdir -p "$1" && cp -rp "$2/." "$1/" ||
        story_fail "cannot make the game folder $1" || return 1
    case "$3" in
        edit) printf x | dd of="$1/$4" bs=1 seek=100 conv=notrunc status=none ;;
        remove) rm "$1/$4" ;;
    esac
}

# The patch release of a story, from its earlier versions v1 and v2: the zip
# unpacks as a Japanese Windows unpacks it into update.exe (carrying the
# manifest, signed when a certificate is given) and a data folder that
# holds update.sfv, which checks clean, and, of each listed name, the file
# whole, its patches or nothing, by which zstd makes each version's files
# the new ones. Then its update.exe, in one display session, makes a game
# of either version the new one; refuses a game of the unknown version 3,
# of version 1 with a file it patches changed by a byte or with a file
# removed that no version changed (which the release does not ship), and a
# copy of the release with one byte of a patch changed (and update.sfv to
# match), each time leaving every game file as it was; and writes nothing
# into a game of the new version. The work folder, the product's lists,
# the release folder, the driver, the certificate.
story_patch_release() {
    local work="$1" download="$WINEPREFIX/drive_c/patch" damaged="$WINEPREFIX/drive_c/damaged"
    local data game="$WINEPREFIX/drive_c/Games/$PRODUCT_DATA_FOLDER" name patched="" kept=""
    local program="C:\\patch\\$PRODUCT_NAME-patch\\update.exe" other="このパッチは別のバージョン用です。"
    local done="アップデートが完了しました。"
    data="$download/$PRODUCT_NAME-patch/$PRODUCT_DATA_FOLDER"
    story_patch_release_made "$work" "$2" "$3" "$download" "${5:-}" || return 1
    # A name that version 1 patches, and one that no version changed.
    while IFS= read -r name; do
        [ -n "$patched" ] || [ ! -e "$data/$name.1.zst" ] || patched="$name"
        [ -n "$kept" ] || [ -e "$data/$name" ] || compgen -G "$data/$name.*.zst" >/dev/null ||
            kept="$name"
    done <"$work/distinct.txt"
    [ -n "$patched" ] && [ -n "$kept" ] ||
        story_fail "the patch release patches nothing of version 1, or ships every file" ||
        return 1
    rm -rf "$damaged" && mkdir -p "$damaged" && cp -r "${data%/*}" "$damaged/" ||
        story_fail "cannot copy the patch release" || return 1
    story_tamper "$damaged/$PRODUCT_NAME-patch/$PRODUCT_DATA_FOLDER/$patched.1.zst" \
        "$damaged/$PRODUCT_NAME-patch/$PRODUCT_DATA_FOLDER/update.sfv" || return 1
    story_register "C:\\Games\\$PRODUCT_DATA_FOLDER" || return 1
    cat >"$work/patch-plays.txt" <<EOF
v1	v1	as-is	-	$done	$program	new
v2	v2	as-is	-	$done	$program	new
unknown	v3	as-is	-	$other	$program	kept
changed	v1	edit	$patched	$other	$program	kept
missing	v1	remove	$kept	$other	$program	kept
damaged	v1	as-is	$patched.1.zst	が壊れているか、見つかりません。	C:\\damaged\\$PRODUCT_NAME-patch\\update.exe	kept
new	files	as-is	-	$done	$program	kept
EOF
    # xvfb-run's shell passes on no exported functions: the session gets
    # their text.
    story_in_display bash -c "$(declare -f story_patch_plays story_game_from story_snapshot \
        story_same_files story_fail)"'; story_patch_plays "$@"' plays "$work" "$game" "$4"
}

# The plays of story_patch_release, in <work>/patch-plays.txt, one a line:
# a name for its log, the version's folder in <work>, the change of the
# game's files (story_game_from), the file named in the message or "-",
# the message's text, the program, and what the game's files are after
# it: "new" (the new version's) or "kept" (as before). The work folder,
# the game folder, the driver.
story_patch_plays() {
    local work="$1" game="$2" label version change file text program after before log names
    mapfile -t names <"$work/distinct.txt"
    while IFS=$'\t' read -r label version change file text program after; do
        log="$work/patch-$label.log"
        story_game_from "$game" "$work/$version" "$change" "$file" || return 1
        before="$(story_snapshot "$game")"
        wine "$3" update "$program" - </dev/null >"$log" 2>&1
        cat "$log"
        grep -qF "$text" "$log" || story_fail "update.exe did not say \"$text\" ($label)" ||
            return 1
        [ "$file" = - ] || grep -qF "$file" "$log" ||
            story_fail "update.exe did not name $file ($label)" || return 1
        if [ "$after" = new ]; then
            story_same_files "$game" "$work/files" "${names[@]}" || return 1
        else
            [ "$(story_snapshot "$game")" = "$before" ] ||
                story_fail "update.exe changed the game's files ($label)" || return 1
        fi
    done <"$work/patch-plays.txt"
}

# The patch release as package.sh made it, unpacked from its zip into a
# download folder (see story_patch_release): the work folder, the product's
# lists, the release folder, the download folder, the certificate or "".
# Leaves the listed names in <work>/distinct.txt.
story_patch_release_made() {
    local work="$1" download="$4" data program k
    data="$download/$PRODUCT_NAME-patch/$PRODUCT_DATA_FOLDER"
    program="$download/$PRODUCT_NAME-patch/update.exe"
    rm -rf "$download"
    story_unzip_as_windows "$3/$PRODUCT_NAME-patch.zip" "$download" || return 1
    awk '!seen[$0]++' "$2/install-list.txt" "$2/update-list.txt" >"$work/distinct.txt"
    story_patch_held "$data" "$work/distinct.txt" >"$work/patch-held.txt"
    diff <(cd "$download" && find . -type f -printf '%P\n' | sort) <(
        { echo "$PRODUCT_NAME-patch/update.exe"; echo update.sfv; cat "$work/patch-held.txt"; } |
            awk -v at="$PRODUCT_NAME-patch/$PRODUCT_DATA_FOLDER/" 'NR == 1 || $0 = at $0' |
            sort) ||
        story_fail "the patch release holds other files than the listed ones and their patches" ||
        return 1
    story_checksums_clean "$data" "$work/patch-held.txt" "$work/patch.sfv" || return 1
    carries_release_manifest "$program" ||
        story_fail "the patch release's update.exe carries no release manifest" || return 1
    if [ -n "$5" ]; then
        osslsigncode verify -CAfile "$5" -in "$program" >/dev/null 2>&1 ||
            story_fail "the signature of the patch release's update.exe does not verify" ||
            return 1
    fi
    for k in 1 2; do
        story_patches_apply "$data" "$work/v$k" "$work/files" "$work/distinct.txt" || return 1
    done
}
