# The game's files as a folder (its install disc's data folder, say): source
# it, then call
#
#   make_disc_files <folder> <size of entry 1> <install list> [<list>...]
#
# It fills <folder> with a file of each name the lists hold (one name a line,
# as the build writes them to <build>/product/install-list.txt and
# update-list.txt; a name in two lists comes once), a few tens of kilobytes
# each (enough for the progress bar to move in steps), and entry 1 of the
# install list, the first optional part (the graphics), as a sparse file of
# the given size (for example 768M, which keeps a copy busy long enough to
# cancel it).
make_disc_files() {
    local folder="$1" size="$2" name
    shift 2
    mkdir -p "$folder"
    while IFS= read -r name; do
        head -c $((20000 + ${#name} * 1000)) /dev/urandom >"$folder/$name"
    done < <(cat "$@")
    name="$(sed -n 2p "$1")"
    rm -f "$folder/$name"
    truncate -s "$size" "$folder/$name"
}
