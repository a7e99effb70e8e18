#!/usr/bin/env bash
# Copy benchmark (not a test): how fast the update moves a game of realistic
# size, as a user meets it and part by part, beside the system's own copy of
# the same files.
#
# Builds copy_bench.exe and update.exe (cross build in build/bench-win32, or
# build/bench-win64 where the x86_64 build runs, see scripts/wine_env.sh;
# the report names the build it timed; the zstd library's sources, which
# every Windows build compiles its decoder from, are unpacked first as
# scripts/prerequisites.sh does, but no package is installed), generates a
# demo game of the names the product's lists hold (for Vellomira 38 names,
# 32 distinct files, about 1 GiB, large archives and small files; kept
# between runs) in the data folder beside them in a private Wine prefix,
# and the release methods' game (below), of which scripts/package.sh makes
# a full and a patch release every run,
# then times, in rounds whose order rotates, under Wine:
#   program-empty  the real update.exe: the game registered in an empty
#             folder, the program idling at its question, timed from the
#             press of its Update button to its completion box (see
#             bench/copy_bench.cpp), with its peak working set idle
#             and after the update; the stable measure of the program's
#             own cost
#   distinct-empty a plain CopyFileA loop over each distinct file once, into
#             an empty folder
#   durable-empty  the durable peer of update.exe, which flushes every file
#             it stages before its record: the same loop, each copy then
#             opened and written through to the disk (FlushFileBuffers), so
#             that each file is written through the cache and then flushed,
#             as the update does (see bench/copy_bench.cpp)
#   program, distinct, durable  the same three into a folder of old files,
#             as a player meets the update; these swing with the kernel's
#             write-back of the round before
#   program-sfv-empty, program-sfv  update.exe as program-empty and program,
#             from a release whose data folder also holds update.sfv (the
#             same files, hard-linked), so that every source is checked
#             against its CRC-32 as it is staged
#   program-manifest-empty, program-manifest  the same, from a release
#             whose update.exe carries the generated game's release
#             manifest (built in build/bench-<build>-manifest with the
#             manifest that tools/release_manifest writes, as
#             scripts/package.sh builds a release; the same files,
#             hard-linked), so that every source is checked against its
#             SHA-256 (the system's CNG) as it is staged
#   full-release, patch-release  the update.exe of the full release and of
#             the patch release that scripts/package.sh --patch-from makes
#             of the release methods' game (scripts/bench_game.py, kept
#             between runs: a new version with the same names and sizes,
#             its packs made of assets, and an earlier version that differs
#             in a few assets of a few packs, a few whole files and one new
#             file), each on a game registered in a fresh copy of the
#             earlier version, timed as program is, with its peak working
#             set; before each, untimed and alike for both, the copy is
#             made, the method's release read once (as a download is in
#             memory once unpacked) and everything written out
#   single    update.exe whose data folder holds one small file (the readme),
#             into an empty folder: the fixed cost from the press to the box
#   update    the engine's whole update run in the driver's own process
#             (runUpdate: 64 KiB buffer, size check, staging, attributes,
#             times, the replace step), into an empty folder, with the seconds of each phase
#             of its copies (the driver runs the engine built with them
#             timed)
#   copier    the engine's copyFile alone over both lists, into an empty folder
#   system    a plain CopyFileA loop over both lists, into an empty folder
#   install   the engine's threaded install copy (runInstallCopy, every entry
#             selected, the whole list), its waiting loop spinning on the
#             calling thread (status ticker, progress, message pump,
#             Sleep(0)) while the copy thread copies, into an empty folder
# and on the host:
#   cp        the host's cp over both lists (same names, same order)
# program, distinct, durable and update (and their -empty forms) copy each
# distinct name once, as the update does; copier, system, install and cp
# walk the install list and then the update list, so the six names of both
# lists are copied twice (the install copy gets both lists as one install
# list). Each timing is a line of the results file
# (build/bench-<build>/bench-results.txt), from which
# scripts/bench_report.py makes the report. It prints the median of the
# rounds in MB/s (10^6 bytes) with the spread of the seconds (fastest and
# slowest round): first update.exe against the distinct CopyFileA loop and
# against its durable peer, into an empty folder and into old files, what
# the flushes cost, the checked updates (update.sfv, manifest) beside the
# same update without, the fixed cost and the peak working sets, then the
# patch release beside the full release (both zips' sizes and their ratio,
# the ratio of their times, both peak working sets), then the update
# run's phases, then the parts with their ratios to the system copy and to
# cp, the CPU time of the install copy's waiting loop (its thread's
# GetThreadTimes) and of its copy thread (the process's times less the
# loop's), and the Wine server's CPU time over each whole Wine process,
# where the loop's message calls are served.
#
# Usage: scripts/bench.sh [rounds]   (default 9)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/wine_env.sh
source "$root/scripts/wine_env.sh"
# shellcheck source=scripts/prerequisites.sh
source "$root/scripts/prerequisites.sh"
# shellcheck source=scripts/pe_check.sh
source "$root/scripts/pe_check.sh"

rounds="${1:-9}"
wine_pick_build
build="$root/build/bench-$WINE_BUILD_NAME"
# The second build tree, of update.exe with the generated game's release
# manifest inside, and the host tools that write the manifest (shared with
# scripts/package.sh).
manifest_build="$build-manifest"
tools="$root/build/tools"
bench_c=""  # the prefix's drive C: folder, set once the prefix exists

# Sizes in KiB of the distinct files, in the order the update first copies
# them: Vellomira's mix of large archives and small files, about 1 GiB. A
# product with more files takes them again from the start.
game_sizes_kib=(3072 184320 122880 40960 12288 153600 8192 160 1024 40 12 200 30720 30720
    30720 30720 30720 30720 30720 30720 600 92160 61440 15360 5120 51200 4096 2 2048 3072
    1024 512)
# Filled from the product by read_product: the install list (the game
# executable first) and the update list as the build wrote them, each name
# once where it first stands (what the update copies), and each name's size.
install_names=()
update_names=()
distinct_names=()
declare -A size_kib=()

# The Wine methods, in the order of the first round.
wine_methods=(program-empty distinct-empty durable-empty program distinct durable program-sfv-empty
    program-sfv program-manifest-empty program-manifest full-release patch-release single update
    copier system install)
# The one small file of the single method's data folder: the readme.
single_name=""
# The release methods' game (set once the prefix exists): its new and
# earlier versions, generated from this seed by scripts/bench_game.py and
# kept between runs, and the folder scripts/package.sh writes both
# releases into.
release_game=""
release_game_seed=bench-release-1
releases=""

# A developer's update.exe, which carries no release manifest (an earlier
# configuration's manifest would stay in the cache without the empty one).
build_bench() {
    wine_describe_build "== Benchmark"
    echo "== building copy_bench.exe and update.exe in $build"
    {
        cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$WINE_TOOLCHAIN" -DRELEASE_MANIFEST= \
            >"$build/build.log" 2>&1 &&
            cmake --build "$build" -j2 --target copy_bench update >>"$build/build.log" 2>&1
    } || {
        wine_show_log "build failed" "$build/build.log"
        exit 1
    }
    if carries_release_manifest "$build/update.exe"; then
        echo "$build/update.exe carries a release manifest; it must not" >&2
        exit 1
    fi
}

# The host tools, as scripts/package.sh builds them; only the manifest's
# writer is needed here.
build_tools() {
    echo "== building release_manifest in $tools"
    mkdir -p "$tools"
    {
        cmake -S "$root/tools" -B "$tools" >"$build/tools.log" 2>&1 &&
            cmake --build "$tools" -j2 --target release_manifest >>"$build/tools.log" 2>&1
    } || {
        wine_show_log "the host tools could not be built" "$build/tools.log"
        exit 1
    }
}

# The release manifest of the generated game, as scripts/package.sh writes
# it, in the second build tree; left as it was when the game is the same,
# so that update.exe is not built again.
write_manifest() {
    local manifest="$manifest_build/bench.manifest" names="$manifest_build/distinct-names.txt"
    echo "== writing the release manifest of the demo game"
    mkdir -p "$manifest_build"
    printf '%s\n' "${distinct_names[@]}" >"$names"
    "$tools/release_manifest" "$manifest.new" "$bench_c/program/$PRODUCT_DATA_FOLDER" "$names" \
        "$PRODUCT_TITLE" "$PRODUCT_DATA_FOLDER" bench >"$build/manifest.log" 2>&1 || {
        wine_show_log "the release manifest could not be written" "$build/manifest.log"
        exit 1
    }
    if cmp -s "$manifest.new" "$manifest"; then
        rm "$manifest.new"
    else
        mv "$manifest.new" "$manifest"
    fi
}

# update.exe as a release carries it: the same sources with the manifest
# inside, in the second build tree.
build_manifest_program() {
    echo "== building update.exe with the release manifest in $manifest_build"
    {
        cmake -S "$root" -B "$manifest_build" -DCMAKE_TOOLCHAIN_FILE="$WINE_TOOLCHAIN" \
            -DRELEASE_MANIFEST="$manifest_build/bench.manifest" >"$manifest_build/build.log" 2>&1 &&
            cmake --build "$manifest_build" -j2 --target update >>"$manifest_build/build.log" 2>&1
    } || {
        wine_show_log "build failed" "$manifest_build/build.log"
        exit 1
    }
    if ! carries_release_manifest "$manifest_build/update.exe"; then
        echo "$manifest_build/update.exe carries no release manifest" >&2
        exit 1
    fi
}

# The names and the data folder of the product the build read.
read_product() {
    local name
    # shellcheck source=/dev/null
    source "$build/product/product.env"
    mapfile -t install_names <"$build/product/install-list.txt"
    mapfile -t update_names <"$build/product/update-list.txt"
    for name in "${install_names[@]}" "${update_names[@]}"; do
        [ -n "${size_kib[$name]:-}" ] && continue
        size_kib[$name]="${game_sizes_kib[$((${#distinct_names[@]} % ${#game_sizes_kib[@]}))]}"
        distinct_names+=("$name")
    done
    single_name="${install_names[10]}"
}

# Random contents, so that nothing on the way can compress or skip them; a
# file of the right size from an earlier run is kept.
generate_game() {
    local data="$bench_c/program/$PRODUCT_DATA_FOLDER" name bytes
    mkdir -p "$data"
    echo "== generating the demo game in $data"
    for name in "${!size_kib[@]}"; do
        bytes=$((size_kib[$name] * 1024))
        if [ "$(stat -c %s "$data/$name" 2>/dev/null || echo -1)" != "$bytes" ]; then
            head -c "$bytes" /dev/urandom >"$data/$name"
        fi
    done
    cp "$build/copy_bench.exe" "$build/update.exe" "$bench_c/program/"
    mkdir -p "$bench_c/program/single/$PRODUCT_DATA_FOLDER"
    cp "$data/$single_name" "$bench_c/program/single/$PRODUCT_DATA_FOLDER/"
    cp "$build/update.exe" "$bench_c/program/single/"
}

# A release folder beside the program folder: the driver, the update.exe
# given and the same files in its data folder (hard links, one page cache).
linked_release() {
    local release="$bench_c/$1" data="$bench_c/program/$PRODUCT_DATA_FOLDER" name
    rm -rf "$release"
    mkdir -p "$release/$PRODUCT_DATA_FOLDER"
    cp "$build/copy_bench.exe" "$release/"
    cp "$2" "$release/update.exe"
    for name in "${distinct_names[@]}"; do
        ln "$data/$name" "$release/$PRODUCT_DATA_FOLDER/$name"
    done
}

# The checked releases: with the files' checksum file, and with update.exe
# carrying their manifest (which it then checks against; its data folder
# needs no checksum file).
make_checked_releases() {
    linked_release program-sfv "$build/update.exe"
    (cd "$bench_c/program/$PRODUCT_DATA_FOLDER" && cksfv -q "${distinct_names[@]}" |
        sed 's/$/\r/') >"$bench_c/program-sfv/$PRODUCT_DATA_FOLDER/update.sfv"
    linked_release program-manifest "$manifest_build/update.exe"
}

# The release methods' game: a new version whose names have the sizes of
# the other methods' game but whose packs are made of assets, and an
# earlier version derived from it (scripts/bench_game.py says how they
# differ); kept between runs.
generate_release_game() {
    local sizes="$build/release-game-sizes.txt" name
    echo "== generating the release methods' game (new and earlier versions) in $release_game"
    for name in "${distinct_names[@]}"; do
        printf '%s\t%s\n' "$name" "$((size_kib[$name] * 1024))"
    done >"$sizes"
    python3 "$root/scripts/bench_game.py" --seed "$release_game_seed" --sizes "$sizes" \
        "$release_game" >"$build/release-game.log" 2>&1 || {
        wine_show_log "the release methods' game could not be generated" "$build/release-game.log"
        exit 1
    }
    sed 's/^/   /' "$build/release-game.log"
}

# Both releases of that game as a maker makes them, every run (their
# programs are built from the sources being timed): scripts/package.sh
# with --patch-from the earlier version, for the timed build's
# architecture. The benchmark installs no package, so one missing for the
# packaging stops it.
package_releases() {
    local missing
    mapfile -t missing < <(missing_packages "${packaging_packages[@]}")
    if [ ${#missing[@]} -gt 0 ]; then
        echo "bench: scripts/package.sh needs packages that are missing: ${missing[*]}" >&2
        exit 1
    fi
    echo "== packaging the full and the patch release into $releases (scripts/package.sh)"
    "$root/scripts/package.sh" --arch "$WINE_BUILD_ARCH" --out "$releases" --release bench \
        --patch-from "$release_game/earlier" "$release_game/new" >"$build/package.log" 2>&1 || {
        wine_show_log "scripts/package.sh failed" "$build/package.log"
        exit 1
    }
    grep '^zip of the release' "$build/package.log" | sed 's/^/   /'
    release_method_folder full-release "$releases/$PRODUCT_NAME-update"
    release_method_folder patch-release "$releases/$PRODUCT_NAME-patch"
}

# A release method's folder: the driver beside the update.exe and the data
# folder that scripts/package.sh wrote (hard links).
release_method_folder() {
    local folder="$bench_c/$1" file
    rm -rf "$folder"
    mkdir -p "$folder/$PRODUCT_DATA_FOLDER"
    cp "$build/copy_bench.exe" "$folder/"
    ln "$2/update.exe" "$folder/update.exe"
    for file in "$2/$PRODUCT_DATA_FOLDER"/*; do
        ln "$file" "$folder/$PRODUCT_DATA_FOLDER/"
    done
}

# Bytes of the listed files in a release method's data folder (of the patch
# release: the files it ships whole).
release_bytes() {
    local data="$bench_c/$1/$PRODUCT_DATA_FOLDER" name total=0
    for name in "${distinct_names[@]}"; do
        [ ! -f "$data/$name" ] || total=$((total + $(stat -c %s "$data/$name")))
    done
    echo "$total"
}

# Bytes copied by one walk of both lists.
walk_bytes() {
    local name total=0
    for name in "${install_names[@]}" "${update_names[@]}"; do
        total=$((total + size_kib[$name] * 1024))
    done
    echo "$total"
}

# Bytes of the distinct files.
distinct_bytes() {
    local name total=0
    for name in "${distinct_names[@]}"; do
        total=$((total + size_kib[$name] * 1024))
    done
    echo "$total"
}

# Empties a method's target folder (for program, its checked releases,
# distinct and durable, without -empty: fills it with an old game, every
# distinct file at its size, allocated but not written; for the release
# methods: a game of the earlier version)
# and writes out what earlier rounds left in memory, so that no round pays
# for another's writes.
fresh_folder() {
    local name
    rm -rf "$1"
    mkdir -p "$1"
    case "$(basename "$1")" in
        *-empty) ;;
        full-release|patch-release) earlier_game "$1" ;;
        program|program-*|distinct|durable)
            for name in "${distinct_names[@]}"; do
                fallocate -l "$((size_kib[$name] * 1024))" "$1/$name" 2>/dev/null ||
                    truncate -s "$((size_kib[$name] * 1024))" "$1/$name"
            done ;;
    esac
    sync
}

# A game of the earlier version for a release method, and the method's
# release read once, as a player's download is in memory once unpacked:
# the same for both release methods, so that neither finds in memory what
# the other had to read.
earlier_game() {
    cp -rp "$release_game/earlier/." "$1/"
    find "$bench_c/$(basename "$1")" -type f -exec cat {} + >/dev/null
}

# Pid of the prefix's Wine server: the one whose working folder is named
# after the prefix's device and inode (other prefixes may have servers
# running too).
find_server() {
    local folder pid
    folder="server-$(printf '%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
    for _ in $(seq 50); do
        for pid in $(pgrep -x 'wineserver(32|64)?'); do
            case "$(readlink "/proc/$pid/cwd")" in
                */"$folder") echo "$pid"; return 0 ;;
            esac
        done
        sleep 0.1
    done
    echo "no Wine server found for $WINEPREFIX" >&2
    return 1
}

# A Wine server's user and kernel CPU time so far, in clock ticks (fields
# 14 and 15 of its stat line, counted after the parenthesised name).
server_ticks() {
    sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# One timed run of copy_bench under Wine with the given server: prints
# "<seconds> <bytes> <server CPU seconds over the whole process>", then the
# rest of the driver's line (scripts/bench_report.py names each column).
time_wine() {
    local method="$1" server="$2" before line mode="${1%-empty}" program=program
    # update.exe of a release folder of its own (program-sfv, program-manifest,
    # full-release, patch-release).
    case "$mode" in
        program-*|*-release) program="$mode" mode=program ;;
    esac
    fresh_folder "$bench_c/targets/$method"
    before="$(server_ticks "$server")"
    line="$(wine "$bench_c/$program/copy_bench.exe" "$mode" \
        "C:\\bench\\targets\\$method" | tr -d '\r')"
    awk -v line="$line" -v ticks="$(($(server_ticks "$server") - before))" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { n = split(line, f, " "); printf "%s %s %.2f", f[1], f[2], ticks / hz
                 for (i = 3; i <= n; i++) printf " %s", f[i]; printf "\n" }'
}

time_cp() {
    local data="$bench_c/program/$PRODUCT_DATA_FOLDER" target="$build/bench-cp" name start end
    fresh_folder "$target"
    start=$(date +%s%N)
    for name in "${install_names[@]}" "${update_names[@]}"; do
        cp "$data/$name" "$target/$name"
    done
    end=$(date +%s%N)
    echo "$(((end - start) / 1000))e-6 $(walk_bytes)" | awk '{printf "%.6f %s\n", $1, $2}'
}

# All rounds of the Wine methods inside one display session (the windows of
# update.exe and the completion box of the update run need a window station)
# with one Wine server. Each round starts one method later than the one
# before and walks the methods with another stride (one that meets every
# method once), so that no method always follows the same other: what a
# method leaves behind (data still to be written out, pages to reclaim)
# falls on a different method each round.
run_wine_rounds() {
    export bench_c release_game
    xvfb-run -a bash -c "$(declare -f time_wine fresh_folder earlier_game find_server server_ticks)
        $(declare -p size_kib distinct_names wine_methods)"'
        set -euo pipefail
        wineserver -p
        trap "wineserver -k; wineserver -w" EXIT
        server="$(find_server)"
        count=${#wine_methods[@]}
        strides=()
        for stride in $(seq 1 $((count - 1))); do
            a=$stride b=$count
            while [ "$b" -ne 0 ]; do t=$((a % b)); a=$b; b=$t; done
            [ "$a" -eq 1 ] && strides+=("$stride")
        done
        for round in $(seq 0 $(($1 - 1))); do
            stride=${strides[$((round % ${#strides[@]}))]}
            for step in $(seq 0 $((count - 1))); do
                mode="${wine_methods[$(((round + step * stride) % count))]}"
                timing="$(time_wine "$mode" "$server")"
                echo "$mode $timing"
            done
        done' bench-run "$rounds"
}

# The report, from the results file: scripts/bench_report.py, whose table
# of methods and their fields is the one statement of the file's columns.
report() {
    python3 "$root/scripts/bench_report.py" "$1" --rounds "$rounds" \
        --distinct-bytes "$(distinct_bytes)" --walk-bytes "$(walk_bytes)" \
        --single-bytes "$((size_kib[$single_name] * 1024))" --build "$(wine_describe_build Timed)" \
        --release-bytes "$(release_bytes full-release)" "$(release_bytes patch-release)" \
        --zip-bytes "$(stat -c %s "$releases/$PRODUCT_NAME-update.zip")" \
        "$(stat -c %s "$releases/$PRODUCT_NAME-patch.zip")" \
        --program-bits "$([ "$WINE_BUILD_ARCH" = i686 ] && echo 32 || echo 64)"
}

main() {
    mkdir -p "$build"
    # Every Windows build compiles the zstd decoder from these sources.
    ensure_zstd_sources || {
        echo "bench: no sources of the zstd library to build the programs from (see above)" >&2
        exit 1
    }
    build_bench
    read_product
    wine_env "$build/wineprefix"
    # These helpers check their own steps; errexit must not cut them short.
    wine_server_stop
    wine_prefix_init || exit 1
    bench_c="$WINEPREFIX/drive_c/bench"
    generate_game
    build_tools
    write_manifest
    build_manifest_program
    make_checked_releases
    release_game="$bench_c/release-game"
    releases="$bench_c/releases"
    generate_release_game
    package_releases
    local results="$build/bench-results.txt"
    : >"$results"
    echo "== timing $rounds rounds of ${wine_methods[*]} under Wine"
    run_wine_rounds | tee -a "$results"
    echo "== timing $rounds rounds of cp on the host"
    for _ in $(seq "$rounds"); do
        echo "cp $(time_cp)" | tee -a "$results"
    done
    report "$results"
    # The copies and the releases take several GiB; the generated games stay
    # for the next run.
    rm -rf "$bench_c/targets" "$releases" "$bench_c/full-release" "$bench_c/patch-release"
}

main "$@"
