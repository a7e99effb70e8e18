#!/usr/bin/env bash
# Makes what players get of a product: its update package and its install
# disc.
#
# Usage: scripts/package.sh [--product FILE] [--out FOLDER] [--arch ARCH]
#            [--release NAME] [--sign FILE.pfx [--password-file FILE |
#             --password-env VAR] [--timestamp URL]] FILES
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
#   --sign FILE.pfx       signs update.exe and setup.exe (Authenticode) with
#                         the certificate and key in FILE.pfx
#   --password-file FILE  FILE.pfx's password: the first line of FILE
#   --password-env VAR    FILE.pfx's password: the environment variable VAR
#   --timestamp URL       the timestamp server that the signatures name
#
# It first checks the product file and the files, and refuses with every
# problem named when a listed file is missing, a name breaks the product
# file's rules, or a file is too large. Then it builds the release tools
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
#
# With SOURCE_DATE_EPOCH set, what it makes itself (the programs, update.sfv,
# the update folders) is dated at that time in the zip and on the disc; the
# game's files keep their own times.
#
# The release is written in a folder of its own inside FOLDER and replaces
# an earlier one only when all of it is written; a refusal or a failure
# before that leaves an earlier release as it was and ends with a line
# saying that nothing was written, one after it (an interrupt while the
# table below is printed) a line saying that the release was written. It ends with a table of the files, their sizes and
# their lists, and the totals of the two install types beside the size
# table's figures.
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
    sed -n '5,26p' "$0" | sed 's/^# \{0,1\}//' >&2
    echo "package: nothing was written" >&2
    reported=1
    exit 2
}

parse_arguments() {
    while [ $# -gt 0 ]; do
        case "$1" in
            --product|--out|--arch|--release|--sign|--password-file|--password-env|--timestamp)
                [ $# -ge 2 ] || usage
                case "$1" in
                    --product) product="$2" ;;
                    --out) out="$2" ;;
                    --arch) arch="$2" ;;
                    --release) release="$2"; release_given=1 ;;
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
    case "$(realpath -m "$files")/" in
        "$out"/*) errors+=("the files folder $files lies inside the output folder $out, where \
the release is written: copy the files elsewhere first") ;;
    esac
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

# update.exe and setup.exe as players get them (or built for x86_64), with
# the manifest inside them.
build_programs() {
    echo "== building update.exe and setup.exe ($arch, release) in $build"
    logged "$build.log" "the build failed" bash -c '
        cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/$3-w64-mingw32.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DPRODUCT="$4" -DRELEASE_MANIFEST="$5" &&
        cmake --build "$2" -j2 --target update setup' \
        build "$root" "$build" "$arch" "$product" "$manifest"
}

# The programs that go into the release, in $staging/programs: signed when
# asked, and checked to be what players get.
prepare_programs() {
    local program programs="$staging/programs"
    mkdir "$programs"
    for program in update.exe setup.exe; do
        if [ -n "$sign" ]; then
            sign_program "$build/$program" "$programs/$program"
        else
            cp "$build/$program" "$programs/$program"
        fi
        carries_release_manifest "$programs/$program" ||
            die "$program does not carry the release manifest"
    done
    stamp "$programs/update.exe" "$programs/setup.exe"
    if [ "$arch" = i686 ] &&
        ! { check_shipped_program "$programs/update.exe" 105 &&
            check_shipped_program "$programs/setup.exe" 105 109; } >/dev/null; then
        die "the programs are not what players get (see above)"
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
    local name sizes last=$((${#install_names[@]} - 1))
    read -r -a sizes <<<"$PRODUCT_SIZES"
    echo
    printf '%-40s %12s  %s\n' file bytes lists
    while IFS= read -r name; do
        printf '%-40s %12s  %s\n' "$name" "$(stat -L -c %s "$files/$name")" "$(lists_of "$name")"
    done <"$distinct"
    echo
    report_install_type 1 10 "${sizes[2]}"
    report_install_type 2 "$last" "${sizes[1]}"
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
    report_problems
    build="$root/build/package-$PRODUCT_NAME-$arch"
    update_name="$PRODUCT_NAME-update"
    disc_name="$PRODUCT_NAME-disc.iso"
    release_items=("$update_name" "$update_name.zip" "$disc_name")
    manifest="$build/release.manifest"
    build_tools
    write_manifest
    build_programs
    write_release
    put_in_place
    report_release
}

main "$@"
