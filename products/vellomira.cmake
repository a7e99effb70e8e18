# Vellomira by Torvane: the game that update.exe and setup.exe serve.
#
# A product file names everything the programs bind at build time. It is a
# CMake script of set() calls, written in UTF-8; the build turns it into the
# programs' tables (in code page 932) and checks every entry first:
#
#   cmake -S . -B build/<folder> -DPRODUCT=products/<game>.cmake
#
# The rules: every setting below is given, and no other. Every text comes
# back from code page 932 as it went in ("〜", "—" and "¥" come back as
# other characters). A name is a plain file name (none of \ / : * ? " < > |,
# no dot or blank at its end, not a device's name such as CON or nul.txt) of
# at most 127 bytes in code page 932 and 64 characters (a disc's limit); it
# comes once in its list (letter case aside, as on Windows), is written the
# same wherever both lists hold it, and is none of the names the update
# keeps for itself (transfer/reserved_names.h: ~UPDATE.TMP, update.sfv, ...).
# A semicolon may stand only in a comment: CMake would split a name at it.

# The game, its maker, and the folder beside update.exe (and on the disc)
# that holds the game's files.
set(PRODUCT_TITLE "Vellomira")
set(PRODUCT_MAKER "Torvane")
set(PRODUCT_DATA_FOLDER "Vellomira")
set(PRODUCT_GAME_EXECUTABLE "Vellomira.exe")

# The class of the programs' hidden host window, by which a second copy
# finds the first, and the heading of setup.exe's window.
set(PRODUCT_WINDOW_CLASS "Vellomira　セットアップ")
set(PRODUCT_SETUP_HEADING "Vellomira　セットアップ")

# The registration record under HKEY_LOCAL_MACHINE. It is
# SOFTWARE\<maker>\<title>; a key that differs on purpose (an earlier
# release's, say) also needs set(PRODUCT_REGISTRY_KEY_DIFFERS ON), and is
# still SOFTWARE\<maker>\<title> or a key below one: the uninstall removes
# it whole.
set(PRODUCT_REGISTRY_KEY "SOFTWARE\\Torvane\\Vellomira")

# What an install copies and an update replaces. Entry 0 is a placeholder
# that start-up replaces with PRODUCT_GAME_EXECUTABLE; the numbered entries
# have roles. Install type 1 copies entries 0 to 10.
set(PRODUCT_INSTALL_LIST
  "ExecuteProgram"  #  0 the game executable
  "grd.pac"         #  1 optional part: graphics
  "vic.pac"         #  2 optional part: voices
  "se.pac"
  "sse.pac"
  "mus.pac"         #  5 optional part: music
  "srp.pac"
  "ogg.dll"
  "vorbis.dll"
  "vorbisfile.dll"
  "readme.txt"      # 10 the readme, opened by its Start-menu shortcut
  "uninst.exe"      # 11 the uninstaller
  "Agrd.pac"
  "Bgrd.pac"
  "Cgrd.pac"
  "Dgrd.pac"
  "Egrd.pac"
  "Fgrd.pac"
  "Ggrd.pac"
  "Hgrd.pac"
  "Setting.exe"
  "grd_2.pac"
  "vic_2.pac"
  "se_2.pac"
  "sse_2.pac"
  "mus_2.pac"
  "srp_2.pac"
  "debuglog.txt"
)

# What an update copies after the install list.
set(PRODUCT_UPDATE_LIST
  "grd_2.pac"
  "vic_2.pac"
  "se_2.pac"
  "sse_2.pac"
  "mus_2.pac"
  "srp_2.pac"
  "srp_3.pac"
  "srp_4.pac"
  "srp_5.pac"
  "srp_6.pac"
)

# The volume label of the install disc, by which setup.exe finds it, and
# of the disc image that scripts/package.sh makes. The programs compare one
# label. A disc carries at most 16 characters and 32 bytes in UTF-8 of it,
# and loses a blank at its end.
set(PRODUCT_VOLUME_LABELS "Vellomira")

# Sizes in megabytes (2^20 bytes): the size required at start, install
# type 2 (every entry), install type 1 (entries 0 to 10), and a spare.
set(PRODUCT_SIZES 3200 3200 3200 3200)

# The optional parts' sizes in megabytes, which the install options dialog
# adds up: the graphics archive (install list entry 1) chosen, the graphics
# without it, the music (entry 5) and the voices (entry 2).
set(PRODUCT_PART_SIZES 1340 140 220 740)
