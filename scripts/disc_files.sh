# The game's install disc as a folder: source it, then call
#
#   make_disc_files <folder> <size of grd.pac>
#
# It fills <folder> with every file of the game's install list, a few tens of
# kilobytes each (enough for the progress bar to move in steps), and the
# graphics part grd.pac as a sparse file of the given size (for example 768M,
# which keeps a copy busy long enough to cancel it).
make_disc_files() {
    local folder="$1" name
    mkdir -p "$folder"
    for name in Vellomira.exe grd.pac vic.pac se.pac sse.pac mus.pac srp.pac ogg.dll \
                vorbis.dll vorbisfile.dll readme.txt uninst.exe Agrd.pac Bgrd.pac \
                Cgrd.pac Dgrd.pac Egrd.pac Fgrd.pac Ggrd.pac Hgrd.pac Setting.exe \
                grd_2.pac vic_2.pac se_2.pac sse_2.pac mus_2.pac srp_2.pac debuglog.txt; do
        head -c $((20000 + ${#name} * 1000)) /dev/urandom >"$folder/$name"
    done
    rm -f "$folder/grd.pac"
    truncate -s "$2" "$folder/grd.pac"
}
