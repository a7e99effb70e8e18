# Shared Wine set-up for the test and demo scripts. Source it, then call:
#
#   wine_env <prefix>                 use a private prefix (exports the variables)
#   wine_prefix_init                  create the prefix once (idempotent)
#   wine_add_drive <letter> <folder> <cdrom|hd|network|floppy> <label>
#   wine_remove_drive <letter>
#
# The prefix is a 32-bit one (WINEARCH=win32): the programs are 32-bit, and
# in such a prefix `wine reg` and the programs see the same registry view, so
# keys written by a script (HKLM\Software\...) are the keys the program reads,
# with no Wow6432Node redirection to allow for.
#
# Commands that start a Wine server without a display (wineboot, wine reg)
# end it again before returning, so that a later run under xvfb-run starts a
# server that owns that display.

# Exports the variables every Wine command of the scripts runs with.
wine_env() {
    if [ -z "$1" ]; then
        echo "wine_env: prefix folder missing" >&2
        return 1
    fi
    mkdir -p "$(dirname "$1")" || return 1
    WINEPREFIX="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
    export WINEPREFIX
    export WINEARCH=win32
    export WINEDEBUG=-all
    export LC_ALL=ja_JP.UTF-8
    # No prompts to install Mono or Gecko: the programs need neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Ends the prefix's Wine server and waits until it is gone.
wine_server_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    return 0
}

# Creates the prefix with wineboot once; a prefix that already has its
# registry is left as it is.
wine_prefix_init() {
    if [ -z "$WINEPREFIX" ]; then
        echo "wine_prefix_init: call wine_env first" >&2
        return 1
    fi
    if [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows" ]; then
        return 0
    fi
    wineboot -i >/dev/null 2>&1
    local status=$?
    wine_server_stop
    if [ $status -ne 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine_prefix_init: wineboot failed for $WINEPREFIX" >&2
        return 1
    fi
}

# Lower-case drive letter of the first argument ("R", "r" or "r:" give "r").
wine_drive_letter() {
    local letter
    letter="$(printf '%s' "${1%:}" | tr 'A-Z' 'a-z')"
    case "$letter" in
        [a-z]) printf '%s' "$letter" ;;
        *) echo "wine: not a drive letter: $1" >&2; return 1 ;;
    esac
}

# Maps a folder to a drive letter of the prefix with a kind and a volume
# label. Replaces whatever the letter was before.
wine_add_drive() {
    if [ $# -ne 4 ]; then
        echo "usage: wine_add_drive <letter> <folder> <cdrom|hd|network|floppy> <label>" >&2
        return 1
    fi
    local letter folder kind="$3" label="$4"
    letter="$(wine_drive_letter "$1")" || return 1
    case "$kind" in
        cdrom|hd|network|floppy) ;;
        *) echo "wine_add_drive: unknown drive kind: $kind" >&2; return 1 ;;
    esac
    if [ ! -d "$2" ]; then
        echo "wine_add_drive: no such folder: $2" >&2
        return 1
    fi
    folder="$(cd "$2" && pwd)"
    mkdir -p "$WINEPREFIX/dosdevices" || return 1
    ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:" || return 1
    # Wine reads a drive's label from this file in its root.
    printf '%s' "$label" >"$folder/.windows-label" || return 1
    wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$kind" /f >/dev/null 2>&1
    local status=$?
    wine_server_stop
    if [ $status -ne 0 ]; then
        echo "wine_add_drive: could not set the kind of $letter:" >&2
        return 1
    fi
}

# Removes a drive made by wine_add_drive: its link, its kind and its label
# file (the folder itself stays).
wine_remove_drive() {
    local letter link
    letter="$(wine_drive_letter "$1")" || return 1
    link="$WINEPREFIX/dosdevices/$letter:"
    if [ -L "$link" ]; then
        rm -f "$(readlink "$link")/.windows-label"
        rm -f "$link"
    fi
    wine reg delete 'HKLM\Software\Wine\Drives' /v "$letter:" /f >/dev/null 2>&1
    wine_server_stop
    return 0
}
