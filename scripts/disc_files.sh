# The game's files as a folder (its install disc's data folder, say), and
# earlier versions of them. Source it, then call
#
#   make_disc_files [--packs <size>] <folder> <size of entry 1> <install list> [<list>...]
#
# It fills <folder> with a file of each name the lists hold (one name a line,
# as the build writes them to <build>/product/install-list.txt and
# update-list.txt; a name in two lists comes once), a few tens of kilobytes
# each (enough for the progress bar to move in steps), and entry 1 of the
# install list, the first optional part (the graphics), as a sparse file of
# the given size (for example 768M, which keeps a copy busy long enough to
# cancel it). With --packs every other name ending in .pac gets that many
# random bytes (a few megabytes: packs whose patches pay).
make_disc_files() {
    local packs="" folder size name
    if [ "$1" = --packs ]; then
        packs="$2"
        shift 2
    fi
    folder="$1"
    size="$2"
    shift 2
    mkdir -p "$folder"
    while IFS= read -r name; do
        if [ -n "$packs" ] && [[ "${name,,}" == *.pac ]]; then
            head -c "$packs" /dev/urandom >"$folder/$name"
        else
            head -c $((20000 + ${#name} * 1000)) /dev/urandom >"$folder/$name"
        fi
    done < <(cat "$@")
    name="$(sed -n 2p "$1")"
    rm -f "$folder/$name"
    truncate -s "$size" "$folder/$name"
}

#   make_earlier_version <new folder> <earlier folder> <seed>
#
# It makes <earlier folder> an earlier version of the files of <new
# folder>, as players of it have them: the new files but for one pack (a
# file of at least 1 MiB that holds data) that lacks a block of 64 KiB the
# new one has in its middle, two smaller files with 4 KiB of other bytes,
# one smaller file wholly other (whose patch would be no smaller than the
# file), and one smaller file that is new in the new version, so absent.
# The seed picks them: another seed, another version.
make_earlier_version() {
    local new="$1" earlier="$2" seed="$3" name packs=() small=() size at
    rm -rf "$earlier"
    cp -rp "$new" "$earlier"
    while IFS= read -r name; do
        if [ "$(stat -c %s "$new/$name")" -lt 1048576 ]; then
            small+=("$name")
        elif ! cmp -s -n 65536 "$new/$name" /dev/zero; then
            packs+=("$name")
        fi
    done < <(seeded_order "$seed" "$new")
    size="$(stat -c %s "$new/${packs[0]}")"
    at=$((size / 2 - size / 2 % 4096))
    { head -c "$at" "$new/${packs[0]}" && tail -c +$((at + 65536 + 1)) "$new/${packs[0]}"; } \
        >"$earlier/${packs[0]}"
    for name in "${small[@]:0:2}"; do
        size="$(stat -c %s "$new/$name")"
        at=$((size / 3 - size / 3 % 4096))
        head -c 4096 /dev/urandom |
            dd of="$earlier/$name" bs=4096 seek=$((at / 4096)) conv=notrunc status=none
    done
    head -c "$(stat -c %s "$new/${small[2]}")" /dev/urandom >"$earlier/${small[2]}"
    rm "$earlier/${small[3]}"
}

# The names of the files of a folder in an order that the seed gives.
seeded_order() {
    local name
    while IFS= read -r name; do
        printf '%s %s\n' "$(printf '%s/%s' "$1" "$name" | sha256sum | cut -c 1-16)" "$name"
    done < <(find "$2" -mindepth 1 -maxdepth 1 -type f -printf '%f\n') | sort | cut -d ' ' -f 2-
}
