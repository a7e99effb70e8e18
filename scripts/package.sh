#!/usr/bin/env bash
# Makes what players get of a product: its update package and its install
# disc.
#
# Usage: scripts/package.sh [--product FILE] [--out FOLDER] [--arch ARCH]
#            [--release NAME] [--patch-from EARLIER]... [--sign FILE.pfx
#            [--password-file FILE | --password-env VAR] [--timestamp URL]] FILES
#
#   FILES                 a folder with the game's new files: every name the
#                         product's lists hold (other files are left out,
#                         with a warning); not inside FOLDER
#   --product FILE        the product file (default products/vellomira.cmake)
#   --out FOLDER          where the release goes (default dist/)
#   --arch ARCH           i686 (the default: the shipped 32-bit programs) or
#                         x86_64 (the same sources for 64-bit Windows, which
#                         the tests run where no 32-bit code can run; not for
#                         players)
#   --release NAME        the release's name in the manifest the programs
#                         carry: one line of printable ASCII (default: the
#                         time of packaging in UTC, YYYYMMDD-HHMMSS, or
#                         that of SOURCE_DATE_EPOCH when it is set)
#   --patch-from EARLIER  a folder with the game's files of an earlier version
#                         as players have them (not inside FOLDER): besides
#                         the full release, a patch release for the players
#                         of each version given
#   --sign FILE.pfx       signs update.exe and setup.exe (Authenticode) with
#                         the certificate and key in FILE.pfx
#   --password-file FILE  FILE.pfx's password: the first line of FILE
#   --password-env VAR    FILE.pfx's password: the environment variable VAR
#   --timestamp URL       the timestamp server that the signatures name
#
# It first checks the product file, the files and the earlier versions'
# folders, and refuses with every problem named when a listed file is
# missing, a name breaks the product file's rules, a file is too large, or
# an earlier version's folder is missing. Then it builds the release tools
# (tools/, with the host compiler, in build/tools), writes the release
# manifest (the release's name and each listed file's size and SHA-256)
# and builds update.exe and setup.exe with the manifest inside them
# (release, stripped; in build/package-<product>-<arch>, where <product> is
# the product file's name without .cmake), signs the programs when asked,
# and writes into FOLDER, printing each path:
#
#   <product>-update/      update.exe and the data folder beside it, with
#                          every listed file and update.sfv, their CRC-32s
#   <product>-update.zip   that folder, for download, with its names as a
#                          Japanese Windows reads them
#   <product>-disc.iso     the install disc: ISO 9660 with Joliet names,
#                          setup.exe at its root beside the data folder,
#                          labelled with the product's volume label
#   <product>-patch/       with --patch-from: update.exe (another build, in
#                          build/package-<product>-<arch>-patch, with the
#                          patch release's manifest) beside the data folder,
#                          which holds the zstd patches from the earlier
#                          files, the files shipped whole and update.sfv
#   <product>-patch.zip    that folder, as the update's zip
#
# With SOURCE_DATE_EPOCH set, what it makes itself (the programs, update.sfv,
# the patches, the update folders) is dated at that time in the zip and on the disc; the
# game's files keep their own times.
#
# The release is written in a folder of its own inside FOLDER and replaces
# an earlier one only when all of it is written; a refusal or a failure
# before that leaves an earlier release as it was and ends with a line
# saying that nothing was written, one after it (an interrupt while the
# table below is printed) a line saying that the release was written. It
# ends with a table of the files, their sizes, what the patch release
# ships of each and their lists, the sizes of the zips, and the totals of
# the two install types beside the size table's figures.
set -eEuo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"
# shellcheck source=scripts/pe_check.sh
source "$root/scripts/pe_check.sh"

product="$root/products/vellomira.cmake"
out="$root/dist"
arch=i686
files=""
sign=""
password_file=""
password_env=""
timestamp=""
release=""
release_given=0
# The earlier versions' folders (--patch-from), in the order given.
patch_from=()
tools="$root/build/tools"
# The engine measures files in 32 bits.
file_size_limit=4294967295
errors=()
warnings=()
# What the run made that a failure removes: the product's lists, the
# release being written, and --out when this run created it.
lists=""
staging=""
created_out=0
# Whether the new release is in place: a later failure leaves it there.
placed=0
# Whether the run has said why it stops.
reported=0
failed_line=""

# What a run that stops now leaves.
outcome() {
    if [ "$placed" -eq 1 ]; then
        echo "the release was written in $out before this step failed"
    else
        echo "nothing was written"
    fi
}

# Stops with one line saying why and what was written.
die() {
    echo "package: $*; $(outcome)" >&2
    reported=1
    exit 1
}

finish() {
    local status=$?
    [ -z "$lists" ] || rm -rf "$lists"
    # The earlier release, moved aside, stays when it could not go back.
    if [ "$status" -ne 0 ] && [ "$placed" -eq 0 ] &&
        [ -n "$(ls -A "$staging/previous" 2>/dev/null)" ]; then
        echo "package: the earlier release could not be put back: it is in $staging/previous" >&2
    elif [ -n "$staging" ]; then
        rm -rf "$staging"
    fi
    if [ "$status" -ne 0 ]; then
        [ "$created_out" -eq 0 ] || rmdir "$out" 2>/dev/null || true
        [ "$reported" -eq 1 ] ||
            echo "package: a step failed${failed_line:+ (line $failed_line)}; $(outcome)" >&2
    fi
    return "$status"
}

usage() {
    sed -n '5,30p' "$0" | sed 's/^# \{0,1\}//' >&2
    echo "package: nothing was written" >&2
    reported=1
    exit 2
}

parse_arguments() {
    while [ $# -gt 0 ]; do
        case "$1" in
            --product|--out|--arch|--release|--patch-from|--sign|--password-file|--password-env|--timestamp)
                [ $# -ge 2 ] || usage
                case "$1" in
                    --product) product="$2" ;;
                    --out) out="$2" ;;
                    --arch) arch="$2" ;;
                    --release) release="$2"; release_given=1 ;;
                    --patch-from) patch_from+=("$2") ;;
                    --sign) sign="$2" ;;
                    --password-file) password_file="$2" ;;
                    --password-env) password_env="$2" ;;
                    --timestamp) timestamp="$2" ;;
                esac
                shift 2 ;;
            -*) usage ;;
            *) [ -z "$files" ] || usage; files="$1"; shift ;;
        esac
    done
    [ -n "$files" ] || usage
    case "$arch" in
        i686|x86_64) ;;
        *) die "no such architecture: $arch (i686 or x86_64)" ;;
    esac
    if [ -z "$sign" ] && [ -n "$password_file$password_env$timestamp" ]; then
        die "--password-file, --password-env and --timestamp go with --sign"
    fi
    if [ -n "$password_file" ] && [ -n "$password_env" ]; then
        die "give the password one way: --password-file or --password-env"
    fi
    name_release
}

# The release's name: --release, or the time of packaging in UTC, which
# SOURCE_DATE_EPOCH fixes for a packaging that can be made again.
name_release() {
    if [ -n "${SOURCE_DATE_EPOCH:-}" ] && ! [[ "$SOURCE_DATE_EPOCH" =~ ^[0-9]+$ ]]; then
        die "SOURCE_DATE_EPOCH is no time in seconds: $(printf %q "$SOURCE_DATE_EPOCH")"
    fi
    [ "$release_given" -eq 1 ] ||
        release="$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%Y%m%d-%H%M%S)"
    if [ -z "$release" ] || [ "$(printf %s "$release" | LC_ALL=C tr -d ' -~' | wc -c)" -ne 0 ]; then
        die "a release's name is one line of printable ASCII, not $(printf %q "$release")"
    fi
}

# Checks the product file and writes its lists into $lists; stops with the
# checks' message when the file breaks a rule.
read_product() {
    local report
    if ! report="$(cmake -DPRODUCT="$product" -DPRODUCT_OUT="$lists" \
                        -P "$root/cmake/product.cmake" 2>&1)"; then
        printf '%s\n' "$report" >&2
        die "the product file breaks its rules"
    fi
    # shellcheck source=/dev/null
    source "$lists/product.env"
    mapfile -t install_names <"$lists/install-list.txt"
    mapfile -t update_names <"$lists/update-list.txt"
    # Each listed name once, where it first stands.
    distinct="$lists/distinct-names.txt"
    awk '!seen[$0]++' "$lists/install-list.txt" "$lists/update-list.txt" >"$distinct"
}

# The release replaces what an earlier one wrote into --out; files inside
# it would go with it.
check_places() {
    local folder
    for folder in "$files" "${patch_from[@]}"; do
        case "$(realpath -m "$folder")/" in
            "$out"/*) errors+=("the files folder $folder lies inside the output folder $out, \
where the release is written: copy the files elsewhere first") ;;
        esac
    done
}

check_signing() {
    [ -n "$sign" ] || return 0
    [ -f "$sign" ] && [ -r "$sign" ] || errors+=("cannot read the certificate $sign")
    if [ -n "$password_file" ] && ! { [ -f "$password_file" ] && [ -r "$password_file" ]; }; then
        errors+=("cannot read the password file $password_file")
    fi
    if [ -n "$password_env" ]; then
        if ! [[ "$password_env" =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]]; then
            errors+=("--password-env takes a variable's name, not \"$password_env\"")
        elif [ -z "${!password_env+set}" ]; then
            errors+=("the environment variable $password_env (--password-env) is not set")
        fi
    fi
}

check_files() {
    local name path size
    if [ ! -d "$files" ]; then
        errors+=("no folder $files")
        return
    fi
    while IFS= read -r name; do
        path="$files/$name"
        if [ ! -e "$path" ]; then
            errors+=("missing: $name (players would have it skipped)")
        elif [ ! -f "$path" ]; then
            errors+=("not a file: $name")
        else
            size="$(stat -L -c %s "$path")"
            [ "$size" -le "$file_size_limit" ] ||
                errors+=("$name has $size bytes; the programs measure files in 32 bits")
        fi
    done <"$distinct"
    while IFS= read -r name; do
        grep -qxF -- "$name" "$distinct" ||
            warnings+=("in $files but in no list, so left out: $name")
    done < <(find "$files" -mindepth 1 -maxdepth 1 -printf '%P\n' | sort)
}

# The earlier versions: folders whose listed names, where they have them,
# are files. The plan names them in lines parted by tabs.
check_earlier_versions() {
    local folder name
    for folder in "${patch_from[@]}"; do
        if [ ! -d "$folder" ]; then
            errors+=("no folder $folder (--patch-from)")
            continue
        fi
        [[ "$(realpath "$folder")" != *[$'\t\n']* ]] ||
            errors+=("the path of $folder holds a tab or a line break (--patch-from)")
        while IFS= read -r name; do
            [ ! -e "$folder/$name" ] || [ -f "$folder/$name" ] ||
                errors+=("not a file: $folder/$name (--patch-from)")
        done <"$distinct"
    done
}

report_problems() {
    local problem
    for problem in "${warnings[@]}"; do echo "package: warning: $problem" >&2; done
    for problem in "${errors[@]}"; do echo "package: error: $problem" >&2; done
    [ ${#errors[@]} -eq 0 ] || die "refused (problems: ${#errors[@]})"
}

# Runs a step with its output in a log; on failure shows the log's end and
# stops: the log, what failed.
logged() {
    local log="$1" what="$2"
    shift 2
    if ! "$@" >"$log" 2>&1; then
        echo "package: $what (log: $log); its last lines:" >&2
        tail -n 25 "$log" >&2
        die "$what"
    fi
}

# The zip and checksum writers, built for this machine.
build_tools() {
    echo "== building the release tools in $tools"
    mkdir -p "$tools"
    logged "$tools.log" "the release tools could not be built" \
        bash -c 'cmake -S "$1" -B "$2" && cmake --build "$2" -j2' tools "$root/tools" "$tools"
}

# The manifest that the programs carry: the release's name and each listed
# file's size and SHA-256, read from the files folder.
write_manifest() {
    echo "== writing the manifest of release $release"
    mkdir -p "$build"
    logged "$build/manifest.log" "the release manifest could not be written" \
        "$tools/release_manifest" "$manifest" "$files" "$distinct" "$PRODUCT_TITLE" \
        "$PRODUCT_DATA_FOLDER" "$release"
}

# Programs as players get them (or built for x86_64), with a manifest
# inside them: the build folder, the manifest, the targets.
build_programs() {
    echo "== building ${*:3} ($arch, release) in $1"
    logged "$1.log" "the build failed" bash -c '
        cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$3-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DPRODUCT="$4" -DRELEASE_MANIFEST="$5" &&
        cmake --build "$2" -j2 --target "${@:6}"' \
        build "$root" "$1" "$arch" "$product" "$2" "${@:3}"
}

# The programs that go into the release, in $staging/programs: signed when
# asked, and checked to be what players get.
prepare_programs() {
    mkdir "$staging/programs"
    ship_program "$build/update.exe" "$staging/programs/update.exe" 105
    ship_program "$build/setup.exe" "$staging/programs/setup.exe" 105 109
}

# A program as it goes into the release, signed when asked, and checked to
# carry its manifest and to be what players get: the built program, the
# copy, its dialogs.
ship_program() {
    local program="$1" copy="$2"
    shift 2
    if [ -n "$sign" ]; then
        sign_program "$program" "$copy"
    else
        cp "$program" "$copy"
    fi
    carries_release_manifest "$copy" || die "$(basename "$copy") does not carry the release manifest"
    stamp "$copy"
    if [ "$arch" = i686 ] && ! check_shipped_program "$copy" "$@" >/dev/null; then
        die "$(basename "$copy") is not what players get (see above)"
    fi
}

# Signs a program with Authenticode: the program, the signed copy. The
# password goes to the signer in a file, never on a command line.
sign_program() {
    local options=(-pkcs12 "$sign" -in "$1" -out "$2")
    if [ -n "$password_env" ]; then
        (umask 077 && printf '%s\n' "${!password_env}" >"$lists/password")
        options+=(-readpass "$lists/password")
    elif [ -n "$password_file" ]; then
        options+=(-readpass "$password_file")
    fi
    [ -z "$timestamp" ] || options+=(-t "$timestamp")
    echo "== signing $(basename "$1")"
    logged "$build/sign.log" "$(basename "$1") could not be signed" \
        osslsigncode sign "${options[@]}"
}

# A graft point of xorriso: the path on the disc, "=", the file it takes.
graft() {
    printf '%s=%s' "${1//=/\\=}" "${2//=/\\=}"
}

# The update folder: update.exe beside the data folder, which holds every
# listed file and their checksums.
write_update_folder() {
    local name data="$new/$update_name/$PRODUCT_DATA_FOLDER"
    mkdir -p "$data"
    cp -p "$staging/programs/update.exe" "$new/$update_name/"
    while IFS= read -r name; do
        cp -p "$files/$name" "$data/"
    done <"$distinct"
    check_copies "$data"
    logged "$build/sfv.log" "update.sfv could not be written" \
        "$tools/release_sfv" "$data/update.sfv" "$data" "$distinct"
    stamp "$data/update.sfv" "$data" "$new/$update_name"
}

# With SOURCE_DATE_EPOCH set, what the run makes itself takes that time as
# its last write, so that the same files packaged again give the same zip;
# the game's files keep their own times.
stamp() {
    [ -z "${SOURCE_DATE_EPOCH:-}" ] || touch -d "@$SOURCE_DATE_EPOCH" "$@"
}

# The files the release carries are those of the manifest inside the
# programs: a file the maker changed during the packaging would be refused
# on every player's machine.
check_copies() {
    logged "$build/copies.log" "the copied files could not be read back" \
        "$tools/release_manifest" "$lists/copies.manifest" "$1" "$distinct" "$PRODUCT_TITLE" \
        "$PRODUCT_DATA_FOLDER" "$release"
    cmp -s "$lists/copies.manifest" "$manifest" ||
        die "files in $files changed while they were packaged"
}

write_zip() {
    logged "$build/zip.log" "the zip could not be written" \
        "$tools/release_zip" "$new/$update_name.zip" "$new/$update_name"
}

write_disc() {
    logged "$build/disc.log" "the disc image could not be written" \
        env LC_ALL=C.UTF-8 xorriso -as mkisofs -J -V "$PRODUCT_DISC_LABEL" -o "$new/$disc_name" \
        -graft-points "$(graft /setup.exe "$staging/programs/setup.exe")" \
        "$(graft "/$PRODUCT_DATA_FOLDER" "$new/$update_name/$PRODUCT_DATA_FOLDER")"
}

# The patch release: for each listed name, nothing when every earlier
# version has the new file already; the file whole when it is new, or
# missing from an earlier version (whose players the release could not
# serve otherwise), or too large for the 32-bit player to patch, or when
# its patches are not clearly smaller than the file; else a zstd patch
# from each distinct earlier file. The player's update.exe applies them.
#
# The patches: zstd with its long-distance matcher (--long), at level 19
# for a new file of up to 32 MiB and at level 9 above. With --patch-from
# zstd takes the window itself (the power of two above the new file's
# size, so at most 2^30 under the memory bound below; --long=N cannot
# change it) and the frame holds one segment: the player decodes with the
# new file's size as its window. Measured here (zstd 1.5.4, 2 cores; time
# to make, patch size; applying takes the same time at every level):
#
#   level        10 MB pack, 3 assets    library, 3.0.17 to  random, 1 MB changed
#                edited, 200 KB inserted 3.0.20 (4.7 MB)     100 MB      200 MB
#   -3 --long    0.1 s  535 KB           0.0 s  1030 KB                  1.5 s 1071 KB
#   -9 --long    0.2 s  491 KB           0.1 s   530 KB      2 s 1060 KB 2.4 s 1071 KB
#   -15 --long   2.0 s  485 KB           1.0 s   515 KB                   38 s 1071 KB
#   -19 --long   4.1 s  479 KB           3.1 s   421 KB     69 s 1189 KB  80 s 1463 KB
#   zstd -19 of the new file alone: 7128 KB, 1641 KB, 100 MB, 200 MB
#
# Level 19 makes the library's patch a fifth smaller than 9 and 15 (code
# moves in many small pieces); a pack gains 2 %. On large files it takes
# minutes and finds fewer matches (with --single-thread none at all: the
# 200 MB patch was the whole file); random 40 MB with 256 KB changed still
# gave 266 KB at both levels (19 s and 3 s).
patch_large_file=$((32 << 20))
# A file's patches ship when together they are at most 3/4 of the file
# compressed alone at the patches' level: the patches above are 7 %, 26 %
# and 0.5 % of it, a file written anew gives a patch as large as the file,
# and a file shipped whole also serves a player whose copy differs.
patch_share_limit=(3 4)
# The 32-bit player holds the new file whole and maps the earlier one: the
# largest window a plain 32-bit process decoded in our test, and the most
# that both files may take.
patch_new_limit=$((512 << 20))
patch_both_limit=$((768 << 20))

# Decides, for each listed name, what the patch release ships of it, and
# writes that into its data folder: the plan ($patch_plan, release_manifest's
# decisions, one a line, fields parted by tabs), what the folder holds, in
# order ($patch_held), and what the size table shows ($patch_shipped: the
# name, what ships, its bytes).
plan_patch_release() {
    local name index=0
    echo "== making the patch release for the versions in ${patch_from[*]}"
    mkdir -p "$patch_data" "$build_patch"
    : >"$patch_plan"
    : >"$patch_held"
    : >"$patch_shipped"
    while IFS= read -r name; do
        index=$((index + 1))
        plan_file "$name" "$index" </dev/null
    done <"$distinct"
}

# The earlier contents of a name other than the new file, each once: the
# indexes of the first folders that hold them, in $earlier; the folders
# without it, in $lacking.
earlier_contents() {
    local name="$1" k j shared
    earlier=()
    lacking=()
    for k in "${!patch_from[@]}"; do
        if [ ! -e "${patch_from[$k]}/$name" ]; then
            lacking+=("${patch_from[$k]}")
            continue
        fi
        ! cmp -s "${patch_from[$k]}/$name" "$files/$name" || continue
        shared=0
        for j in "${earlier[@]}"; do
            ! cmp -s "${patch_from[$k]}/$name" "${patch_from[$j]}/$name" || shared=1
        done
        [ "$shared" -eq 1 ] || earlier+=("$k")
    done
}

# What the patch release ships of a name: the name, its index in the list.
plan_file() {
    local name="$1" index="$2" earlier lacking k patch patches=() sizes=() total=0 alone
    earlier_contents "$name"
    if [ ${#lacking[@]} -eq ${#patch_from[@]} ]; then
        ship_whole "$name" "whole: new"
        return
    elif [ ${#lacking[@]} -gt 0 ]; then
        ship_whole "$name" "whole: not in $(basename "${lacking[0]}")"
        return
    fi
    for k in "${earlier[@]}"; do
        patchable "$files/$name" "${patch_from[$k]}/$name" ||
            { ship_whole "$name" "whole: too large to patch"; return; }
    done
    for k in "${earlier[@]}"; do
        patch="$(patch_file_name "$name" "$index" $((k + 1)))"
        make_patch "${patch_from[$k]}/$name" "$files/$name" "$patch_data/$patch"
        # The player's update gives the file it makes the patch's times.
        touch -r "$files/$name" "$patch_data/$patch"
        patches+=("$patch")
        sizes+=("$(stat -c %s "$patch_data/$patch")")
        total=$((total + sizes[-1]))
    done
    if [ ${#patches[@]} -gt 0 ]; then
        alone="$(zstd -q "-$(patch_level "$files/$name")" -c "$files/$name" | wc -c)"
        if [ $((total * patch_share_limit[1])) -gt $((alone * patch_share_limit[0])) ]; then
            for patch in "${patches[@]}"; do rm "$patch_data/$patch"; done
            ship_whole "$name" "whole: patch not smaller"
            return
        fi
    fi
    printf 'patched\t%s\n' "$name" >>"$patch_plan"
    for k in "${!patches[@]}"; do
        printf 'from\t%s\t%s\n' "${patch_from[${earlier[$k]}]}/$name" "${patches[$k]}" >>"$patch_plan"
        printf '%s\n' "${patches[$k]}" >>"$patch_held"
    done
    printf '%s\t%s\t%s\n' "$name" "$(IFS=+; echo "${sizes[*]:-unchanged}")" "$total" >>"$patch_shipped"
}

# Whether the 32-bit player can apply a patch: the new file, the earlier.
patchable() {
    local new earlier
    new="$(stat -L -c %s "$1")"
    earlier="$(stat -L -c %s "$2")"
    [ "$new" -le "$patch_new_limit" ] && [ $((new + earlier)) -le "$patch_both_limit" ]
}

# A name the patch release ships whole: the name, what the table says.
ship_whole() {
    cp -p "$files/$1" "$patch_data/"
    printf 'whole\t%s\n' "$1" >>"$patch_plan"
    printf '%s\n' "$1" >>"$patch_held"
    printf '%s\t%s\t%s\n' "$1" "$2" "$(stat -L -c %s "$files/$1")" >>"$patch_shipped"
}

# A patch's name: <name>.<k>.zst, k the number of the first earlier version
# that has the earlier file, or patch<index>.<k>.zst when that is too long
# for the programs or taken (letter case aside): the name, its index in the
# list, k. release_manifest checks it against every rule.
patch_file_name() {
    local candidate
    for candidate in "$1.$3.zst" "patch$2.$3.zst"; do
        [ "$(printf %s "$candidate" | iconv -f UTF-8 -t CP932 | wc -c)" -le 127 ] &&
            ! grep -qixF -- "$candidate" "$distinct" "$patch_held" || continue
        echo "$candidate"
        return
    done
    die "no name for the patch of $1 from ${patch_from[$3 - 1]}"
}

# A zstd patch: the earlier file, the new one, the patch.
make_patch() {
    logged "$build_patch/zstd.log" "the patch of $2 from $1 could not be made" \
        zstd -q -f "-$(patch_level "$2")" --long --patch-from="$1" "$2" -o "$3"
}

# The level of a new file's patches.
patch_level() {
    if [ "$(stat -L -c %s "$1")" -le "$patch_large_file" ]; then echo 19; else echo 9; fi
}

# The patch release's manifest, from the plan: the files it ships whole as
# copied into its data folder, the patches there, and the new and earlier
# files as they are now. Its new files must be those of the full release's
# manifest, in the programs already.
write_patch_manifest() {
    local changed
    echo "== writing the manifest of the patch release"
    logged "$build_patch/manifest.log" "the patch release's manifest could not be written" \
        "$tools/release_manifest" "$patch_manifest" "$patch_data" "$distinct" "$PRODUCT_TITLE" \
        "$PRODUCT_DATA_FOLDER" "$release" "$patch_plan" "$files"
    changed="$(sed -n 's/^patched /file /p; /^file /p' "$patch_manifest" | grep -cvxFf "$manifest")" ||
        true
    [ "$changed" -eq 0 ] || die "files in $files changed while they were packaged"
}

# Each patch gives the new file from the earlier one, read after the
# manifest took their SHA-256s.
verify_patches() {
    local kind field patch name
    while IFS=$'\t' read -r kind field patch; do
        case "$kind" in
            whole|patched) name="$field" ;;
            from)
                zstd -q -d -c --memory=512MB --patch-from="$field" "$patch_data/$patch" \
                    </dev/null 2>"$build_patch/verify.log" | cmp -s - "$files/$name" ||
                    die "the patch $patch does not give $name from $field \
(log: $build_patch/verify.log)" ;;
        esac
    done <"$patch_plan"
}

# The patch release's folder: its update.exe, with the patch release's
# manifest inside, beside the data folder, with update.sfv of what it holds.
write_patch_release() {
    local folder="$new/$patch_name"
    patch_data="$folder/$PRODUCT_DATA_FOLDER"
    plan_patch_release
    write_patch_manifest
    verify_patches
    build_programs "$build_patch" "$patch_manifest" update
    ship_program "$build_patch/update.exe" "$folder/update.exe" 105
    same_program_but_resources "$staging/programs/update.exe" "$folder/update.exe" ||
        die "the patch release's update.exe differs from the full one in more than its manifest"
    logged "$build_patch/sfv.log" "update.sfv of the patch release could not be written" \
        "$tools/release_sfv" "$patch_data/update.sfv" "$patch_data" "$patch_held"
    stamp "$patch_data/update.sfv" "$patch_data" "$folder"
    logged "$build_patch/zip.log" "the patch release's zip could not be written" \
        "$tools/release_zip" "$new/$patch_name.zip" "$folder"
}

# The whole release, in a folder of its own inside --out.
write_release() {
    if [ ! -d "$out" ]; then
        mkdir -p "$out"
        created_out=1
    fi
    staging="$(mktemp -d "$out/.package-XXXXXX")"
    new="$staging/new"
    mkdir "$new"
    prepare_programs
    write_update_folder
    write_zip
    write_disc
    [ ${#patch_from[@]} -eq 0 ] || write_patch_release
}

# Puts back the earlier release: the new items already moved in go first.
restore_previous() {
    local item
    for item in "$@"; do rm -rf "${out:?}/$item"; done
    for item in "${release_items[@]}"; do
        [ ! -e "$staging/previous/$item" ] || mv -T "$staging/previous/$item" "$out/$item"
    done
}

# Moves the new release into place, the earlier one aside first (renames in
# one file system); on a failure puts the earlier one back, and once all is
# in place removes the earlier one with the staging folder. An interrupt
# waits until that is done.
put_in_place() {
    local item moved=()
    trap '' INT TERM HUP PIPE
    mkdir "$staging/previous"
    for item in "${release_items[@]}"; do
        if [ -e "$out/$item" ] && ! mv -T "$out/$item" "$staging/previous/$item"; then
            restore_previous
            die "the earlier $item could not be moved aside"
        fi
    done
    for item in "${release_items[@]}"; do
        if ! mv -T "$new/$item" "$out/$item"; then
            restore_previous "${moved[@]}"
            die "$item could not be moved into place"
        fi
        moved+=("$item")
    done
    placed=1
    rm -rf "$staging"
    staging=""
    trap 'exit 130' INT TERM HUP PIPE
    printf 'wrote %s\n' "${release_items[@]/#/$out/}"
    echo "release $release"
}

# Where each name stands: "install 3, update 0".
lists_of() {
    local index where=()
    for index in "${!install_names[@]}"; do
        [ "${install_names[$index]}" != "$1" ] || where+=("install $index")
    done
    for index in "${!update_names[@]}"; do
        [ "${update_names[$index]}" != "$1" ] || where+=("update $index")
    done
    local text
    text="$(IFS=,; echo "${where[*]}")"
    echo "${text//,/, }"
}

# Megabytes (2^20 bytes) of install list entries first to last.
install_megabytes() {
    local index bytes=0
    for ((index = $1; index <= $2; index++)); do
        bytes=$((bytes + $(stat -L -c %s "$files/${install_names[$index]}")))
    done
    awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }'
}

report_release() {
    local sizes last=$((${#install_names[@]} - 1))
    read -r -a sizes <<<"$PRODUCT_SIZES"
    echo
    if [ ${#patch_from[@]} -eq 0 ]; then
        report_files
    else
        report_patched_files
    fi
    report_zips
    echo
    report_install_type 1 10 "${sizes[2]}"
    report_install_type 2 "$last" "${sizes[1]}"
}

report_files() {
    local name
    printf '%-40s %12s  %s\n' file bytes lists
    while IFS= read -r name; do
        printf '%-40s %12s  %s\n' "$name" "$(stat -L -c %s "$files/$name")" "$(lists_of "$name")"
    done <"$distinct"
}

# Each file beside what the patch release ships of it (its patches' sizes,
# the file whole and why, or nothing) and the bytes that saves.
report_patched_files() {
    local name what shipped bytes
    printf '%-32s %12s  %-26s %7s  %s\n' file bytes "patch release" saving lists
    while IFS=$'\t' read -r name what shipped; do
        bytes="$(stat -L -c %s "$files/$name")"
        printf '%-32s %12s  %-26s %7s  %s\n' "$name" "$bytes" "$what" \
            "$(percent_less "$shipped" "$bytes")" "$(lists_of "$name")"
    done <"$patch_shipped"
}

# How much smaller the first size is than the second, in percent.
percent_less() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f %%", 100 * (b - a) / b; else print "-" }'
}

report_zips() {
    local full patch
    full="$(stat -c %s "$out/$update_name.zip")"
    echo
    printf 'zip of the release: %s bytes' "$full"
    if [ ${#patch_from[@]} -gt 0 ]; then
        patch="$(stat -c %s "$out/$patch_name.zip")"
        printf '; of the patch release: %s bytes, %s less' "$patch" "$(percent_less "$patch" "$full")"
    fi
    echo
}

# An install type's files beside the size table's figure for it: the type,
# its last entry, the figure.
report_install_type() {
    local megabytes
    megabytes="$(install_megabytes 0 "$2")"
    printf 'install type %s (entries 0 to %s): %8s MB of files; the size table says %s MB%s\n' \
        "$1" "$2" "$megabytes" "$3" \
        "$(awk -v m="$megabytes" -v f="$3" 'BEGIN { if (m > f) printf ", too little" }')"
}

main() {
    trap finish EXIT
    trap 'failed_line=$LINENO' ERR
    trap 'exit 130' INT TERM HUP PIPE
    parse_arguments "$@"
    ensure_packaging_prerequisites ${sign:+osslsigncode} || die "packaging tools are missing"
    [ -f "$product" ] || die "no product file $product"
    product="$(realpath "$product")"
    out="$(realpath -m "$out")"
    lists="$(mktemp -d)"
    read_product
    check_places
    check_signing
    check_files
    check_earlier_versions
    report_problems
    local k
    for k in "${!patch_from[@]}"; do patch_from[$k]="$(realpath "${patch_from[$k]}")"; done
    build="$root/build/package-$PRODUCT_NAME-$arch"
    update_name="$PRODUCT_NAME-update"
    disc_name="$PRODUCT_NAME-disc.iso"
    release_items=("$update_name" "$update_name.zip" "$disc_name")
    manifest="$build/release.manifest"
    if [ ${#patch_from[@]} -gt 0 ]; then
        patch_name="$PRODUCT_NAME-patch"
        release_items+=("$patch_name" "$patch_name.zip")
        build_patch="$build-patch"
        patch_manifest="$build_patch/release.manifest"
        patch_plan="$lists/patch.plan"
        patch_held="$lists/patch-held.txt"
        patch_shipped="$lists/patch-shipped.txt"
    fi
    build_tools
    write_manifest
    build_programs "$build" "$manifest" update setup
    write_release
    put_in_place
    report_release
}

main "$@"
