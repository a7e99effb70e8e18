#!/usr/bin/env bash
# Makes what players get of a product: its update package and its install
# disc.
#
# Usage: scripts/package.sh [--product FILE] [--out FOLDER] [--arch ARCH] FILES
#
#   FILES            a folder with the game's new files: every name the
#                    product's lists hold (other files are left out, with a
#                    warning)
#   --product FILE   the product file (default products/vellomira.cmake)
#   --out FOLDER     where the release goes (default dist/)
#   --arch ARCH      i686 (the default: the shipped 32-bit programs) or
#                    x86_64 (the same sources for 64-bit Windows, which the
#                    tests run where no 32-bit code can run; not for players)
#
# It first checks the product file and the files, and refuses with every
# problem named when a listed file is missing, a name breaks the product
# file's rules or a disc's limits, or a file is too large. Then it builds
# update.exe and setup.exe (release, stripped; in build/package-<product>-
# <arch>, where <product> is the product file's name without .cmake) and
# writes into FOLDER, printing each path:
#
#   <product>-update/      update.exe and the data folder beside it, with
#                          every listed file
#   <product>-update.zip   that folder, for download
#   <product>-disc.iso     the install disc: ISO 9660 with Joliet names,
#                          setup.exe at its root beside the data folder,
#                          labelled with the product's volume label
#
# It ends with a table of the files, their sizes and their lists, and the
# totals of the two install types beside the size table's figures.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"
# shellcheck source=scripts/pe_check.sh
source "$root/scripts/pe_check.sh"

product="$root/products/vellomira.cmake"
out="$root/dist"
arch=i686
files=""
# A disc's Joliet names hold 64 characters, its Joliet label 16; the engine
# measures files in 32 bits.
joliet_name_limit=64
joliet_label_limit=16
file_size_limit=4294967295
errors=()
warnings=()

usage() {
    sed -n '5,15p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

parse_arguments() {
    while [ $# -gt 0 ]; do
        case "$1" in
            --product) [ $# -ge 2 ] || usage; product="$2"; shift 2 ;;
            --out) [ $# -ge 2 ] || usage; out="$2"; shift 2 ;;
            --arch) [ $# -ge 2 ] || usage; arch="$2"; shift 2 ;;
            -*) usage ;;
            *) [ -z "$files" ] || usage; files="$1"; shift ;;
        esac
    done
    [ -n "$files" ] || usage
    case "$arch" in
        i686|x86_64) ;;
        *) echo "package: no such architecture: $arch (i686 or x86_64)" >&2; exit 2 ;;
    esac
}

# Checks the product file and writes its lists into $lists; stops with the
# checks' message when the file breaks a rule.
read_product() {
    local report
    if ! report="$(cmake -DPRODUCT="$product" -DPRODUCT_OUT="$lists" \
                        -P "$root/cmake/product.cmake" 2>&1)"; then
        printf '%s\n' "$report" >&2
        echo "package: the product file breaks its rules; nothing was written" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    source "$lists/product.env"
    mapfile -t install_names <"$lists/install-list.txt"
    mapfile -t update_names <"$lists/update-list.txt"
    # Each listed name once, where it first stands.
    distinct="$lists/distinct-names.txt"
    awk '!seen[$0]++' "$lists/install-list.txt" "$lists/update-list.txt" >"$distinct"
}

# Characters of a text (the script runs under a UTF-8 locale).
characters() {
    local LC_ALL=C.UTF-8
    echo "${#1}"
}

check_disc_limits() {
    local name
    if [ "$(characters "$PRODUCT_DISC_LABEL")" -gt "$joliet_label_limit" ]; then
        errors+=("the volume label \"$PRODUCT_DISC_LABEL\" is longer than a disc's label ($joliet_label_limit characters)")
    fi
    for name in "$PRODUCT_DATA_FOLDER" "${install_names[@]}" "${update_names[@]}"; do
        if [ "$(characters "$name")" -gt "$joliet_name_limit" ]; then
            errors+=("\"$name\" is longer than a name on a disc ($joliet_name_limit characters)")
        fi
    done
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
    if [ ${#errors[@]} -gt 0 ]; then
        echo "package: nothing was written (problems: ${#errors[@]})" >&2
        exit 1
    fi
}

# update.exe and setup.exe as players get them (or built for x86_64).
build_programs() {
    local log="$build.log"
    echo "== building update.exe and setup.exe ($arch, release) in $build"
    mkdir -p "$build"
    if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" \
               -DCMAKE_BUILD_TYPE=Release -DPRODUCT="$product" &&
           cmake --build "$build" -j2 --target update setup; } >"$log" 2>&1; then
        echo "package: the build failed (log: $log); its last lines:" >&2
        tail -n 25 "$log" >&2
        exit 1
    fi
    if [ "$arch" = i686 ] && ! { check_shipped_program "$build/update.exe" 105 &&
                                 check_shipped_program "$build/setup.exe" 105 109; } >/dev/null; then
        echo "package: the programs built are not what players get (see above)" >&2
        exit 1
    fi
}

# A graft point of xorriso: the path on the disc, "=", the file it takes.
graft() {
    printf '%s=%s' "${1//=/\\=}" "${2//=/\\=}"
}

write_release() {
    local name update="$out/$PRODUCT_NAME-update" zip="$out/$PRODUCT_NAME-update.zip"
    local disc="$out/$PRODUCT_NAME-disc.iso" log="$build/disc.log"
    mkdir -p "$out"
    rm -rf "$update" "$zip" "$disc"
    mkdir -p "$update/$PRODUCT_DATA_FOLDER"
    cp "$build/update.exe" "$update/"
    while IFS= read -r name; do
        cp -p "$files/$name" "$update/$PRODUCT_DATA_FOLDER/"
    done <"$distinct"
    (cd "$out" && zip -q -r -X "$(basename "$zip")" "$(basename "$update")")
    if ! LC_ALL=C.UTF-8 xorriso -as mkisofs -J -V "$PRODUCT_DISC_LABEL" -o "$disc" \
            -graft-points "$(graft /setup.exe "$build/setup.exe")" \
            "$(graft "/$PRODUCT_DATA_FOLDER" "$update/$PRODUCT_DATA_FOLDER")" >"$log" 2>&1; then
        echo "package: the disc image could not be written (log: $log):" >&2
        tail -n 10 "$log" >&2
        exit 1
    fi
    printf 'wrote %s\n' "$update" "$zip" "$disc"
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
    parse_arguments "$@"
    ensure_prerequisites
    restart_after_new_locale "$0" "$@"
    product="$(realpath "$product")"
    lists="$(mktemp -d)"
    trap 'rm -rf "$lists"' EXIT
    read_product
    check_disc_limits
    check_files
    report_problems
    build="$root/build/package-$PRODUCT_NAME-$arch"
    build_programs
    write_release
    report_release
}

main "$@"
