# Shared Wine set-up for the test, demo and benchmark scripts. Source it,
# then call:
#
#   wine_pick_build                   choose the Windows build (below); once
#   wine_env <prefix>                 use a private prefix (exports the variables)
#   wine_prefix_init                  create the prefix once (idempotent)
#   wine_add_drive <letter> <folder> <cdrom|hd|network|floppy> <label>
#   wine_remove_drive <letter>
#   wine_add_disc_image <letter> <image> <label>   a disc image as a CD-ROM
#                                                  (2: it cannot be mounted here)
#   wine_remove_disc_image <letter>                its mounts (not its kind)
#   wine_show_log <what failed> <log>  the tail of a failed step's log
#
# The Windows build that runs here. The shipped programs are 32-bit, and
# they run under the 32-bit Wine loader wherever the kernel runs 32-bit code.
# Some machines of ours run none: there the 32-bit loader fails with "Exec
# format error", and the same sources are built for x86_64 and run under the
# 64-bit loader in a 64-bit prefix. WINE_FORCE_X86_64=1 takes that path on
# any machine. wine_pick_build sets (and exports, for child scripts):
#
#   WINE_BUILD_ARCH      i686 or x86_64
#   WINE_BUILD_NAME      win32 or win64: the build folder's name
#   WINE_TOOLCHAIN       the CMake toolchain file of that build
#   WINE_BUILD_REASON    why, in words
#   WINEARCH             win32 or win64, for new prefixes
#
# In either prefix `wine reg` and the programs see the same registry view,
# so keys written by a script (HKLM\Software\...) are the keys the program
# reads, with no Wow6432Node redirection to allow for. With the x86_64 build
# `wine` is a small script, put first on PATH by wine_env, that runs the
# 64-bit loader: /usr/bin/wine picks the 32-bit one whenever it is installed,
# whether it can run or not.
#
# Commands that start a Wine server without a display (wineboot, wine reg)
# end it again before returning, so that a later run under xvfb-run starts a
# server that owns that display.

wine_scripts_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
wine64_loader=/usr/lib/wine/wine64

wine_pick_build() {
    if [ -n "${WINE_BUILD_ARCH:-}" ]; then
        return 0
    fi
    if [ -n "${WINE_FORCE_X86_64:-}" ]; then
        WINE_BUILD_ARCH=x86_64 WINE_BUILD_REASON="WINE_FORCE_X86_64 is set"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        WINE_BUILD_ARCH=i686 WINE_BUILD_REASON="this machine runs 32-bit code"
    else
        WINE_BUILD_ARCH=x86_64 WINE_BUILD_REASON="this kernel runs no 32-bit code"
    fi
    if [ "$WINE_BUILD_ARCH" = i686 ]; then
        WINE_BUILD_NAME=win32 WINEARCH=win32
    else
        WINE_BUILD_NAME=win64 WINEARCH=win64
    fi
    WINE_TOOLCHAIN="$wine_scripts_root/cmake/$WINE_BUILD_ARCH-w64-mingw32.cmake"
    export WINE_BUILD_ARCH WINE_BUILD_NAME WINE_TOOLCHAIN WINE_BUILD_REASON WINEARCH
}

# One line saying which build runs and why, after a label such as
# "Windows tests".
wine_describe_build() {
    wine_pick_build
    if [ "$WINE_BUILD_ARCH" = i686 ]; then
        echo "$1: the shipped 32-bit (i686) build under the 32-bit Wine loader ($WINE_BUILD_REASON)"
    else
        echo "$1: x86_64 build under the 64-bit Wine loader ($WINE_BUILD_REASON)"
    fi
}

# Prints the last lines of a failed step's log and names the log.
wine_show_log() {
    echo "$1 (log: $2); its last lines:" >&2
    tail -n 25 "$2" >&2 2>/dev/null || true
}

# With the x86_64 build, a `wine` first on PATH that runs the 64-bit loader.
wine_use_loader() {
    [ "$WINE_BUILD_ARCH" = x86_64 ] || return 0
    local shim="$1"
    mkdir -p "$shim" || return 1
    printf '#!/bin/sh\nexec %s "$@"\n' "$wine64_loader" >"$shim/wine" || return 1
    chmod +x "$shim/wine" || return 1
    export WINELOADER="$wine64_loader"
    case ":$PATH:" in
        *":$shim:"*) ;;
        *) export PATH="$shim:$PATH" ;;
    esac
}

# Exports the variables every Wine command of the scripts runs with.
wine_env() {
    if [ -z "$1" ]; then
        echo "wine_env: prefix folder missing" >&2
        return 1
    fi
    mkdir -p "$(dirname "$1")" || return 1
    wine_pick_build
    WINEPREFIX="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
    export WINEPREFIX
    wine_use_loader "$WINEPREFIX-loader" || return 1
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
    local log="$WINEPREFIX-wineboot.log"
    wine wineboot.exe -i >"$log" 2>&1
    local status=$?
    wine_server_stop
    if [ $status -ne 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine_show_log "wine_prefix_init: wineboot failed for $WINEPREFIX (exit $status)" "$log"
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
    local log="$WINEPREFIX-drives.log"
    wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$kind" /f >"$log" 2>&1
    local status=$?
    wine_server_stop
    if [ $status -ne 0 ]; then
        wine_show_log "wine_add_drive: could not set the kind of $letter: (exit $status)" "$log"
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

# A disc image (ISO 9660) as a CD-ROM drive, read from the image itself.
# The kernel may have no iso9660, so fuseiso mounts the image's files for
# the drive's folder. Wine reads a CD's label from the drive's device, the
# link <letter>:: beside the drive's: linked to the image file itself, Wine
# takes it for a file on drive z: and reports no label, but linked to a
# read-only loop device on the image it reads the label off the disc. Where
# no loop device can be had (no root, none in the container), the label
# comes from a .windows-label file that fuse-overlayfs lays over the
# read-only mount; the files still come from the image, and
# WINE_DISC_LABEL_FROM_FILE is 1 (else 0). Returns 2 where the image cannot
# be mounted at all (no usable FUSE), 1 on other failures; either way it
# leaves nothing mounted or attached.
wine_add_disc_image() {
    if [ $# -ne 3 ]; then
        echo "usage: wine_add_disc_image <letter> <image> <label>" >&2
        return 1
    fi
    local letter image media error
    letter="$(wine_drive_letter "$1")" || return 1
    image="$(realpath "$2")" || return 1
    media="$WINEPREFIX-media/$letter"
    wine_remove_disc_image "$letter" || return 1
    mkdir -p "$media/image" || return 1
    if ! error="$(fuseiso "$image" "$media/image" 2>&1)"; then
        echo "wine: $image cannot be mounted here (no usable FUSE): $error" >&2
        rm -rf "$media"
        return 2
    fi
    if ! wine_link_disc_image "$letter" "$image" "$3" "$media"; then
        wine_remove_disc_image "$letter"
        return 1
    fi
}

# The drive links of a mounted disc image: the letter, the image, its
# label, the folder of its mounts.
wine_link_disc_image() {
    local letter="$1" image="$2" label="$3" media="$4" loop drive="$4/image"
    if loop="$(losetup --find --show --read-only "$image" 2>/dev/null)"; then
        if ! ln -sfn "$loop" "$WINEPREFIX/dosdevices/$letter::"; then
            losetup --detach "$loop"
            return 1
        fi
        WINE_DISC_LABEL_FROM_FILE=0
        echo "wine: $letter: holds $image; Wine reads its label through $loop"
    else
        drive="$media/drive"
        mkdir -p "$media/label" "$media/work" "$drive" || return 1
        printf '%s' "$label" >"$media/label/.windows-label" || return 1
        fuse-overlayfs -o "lowerdir=$media/image,upperdir=$media/label,workdir=$media/work" \
            "$drive" || return 1
        WINE_DISC_LABEL_FROM_FILE=1
        echo "wine: no loop device; $letter: holds $image, its label from a file over it"
    fi
    export WINE_DISC_LABEL_FROM_FILE
    ln -sfn "$drive" "$WINEPREFIX/dosdevices/$letter:" || return 1
    wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f >/dev/null 2>&1
    local status=$?
    wine_server_stop
    return $status
}

# Takes a disc image made by wine_add_disc_image out of its drive: the
# drive's links, the loop device and the mounts. Touches no registry, so it
# also serves before a prefix exists.
wine_remove_disc_image() {
    local letter media device mount
    letter="$(wine_drive_letter "$1")" || return 1
    media="$WINEPREFIX-media/$letter"
    device="$WINEPREFIX/dosdevices/$letter::"
    if [ -L "$device" ]; then
        case "$(readlink "$device")" in
            /dev/loop*) losetup --detach "$(readlink "$device")" 2>/dev/null || true ;;
        esac
        rm -f "$device"
    fi
    case "$(readlink "$WINEPREFIX/dosdevices/$letter:" 2>/dev/null)" in
        "$media"/*) rm -f "$WINEPREFIX/dosdevices/$letter:" ;;
    esac
    # A mount still busy goes as soon as it is free (lazily).
    for mount in drive image; do
        if mountpoint -q "$media/$mount"; then
            fusermount -u "$media/$mount" 2>/dev/null || fusermount -u -z "$media/$mount" ||
                return 1
        fi
    done
    rm -rf "$media"
}
