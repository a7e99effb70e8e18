# What building, packaging and testing the programs need on Debian 12.
# Source it, then call, from the script itself (not from a function):
#
#   ensure_prerequisites [extra package...]             everything: tests too
#   restart_after_new_locale "$0" "$@"
#
# or, to package a release only:
#
#   ensure_packaging_prerequisites [extra package...]
#
# Each installs what is missing when run as root; otherwise it says exactly
# what to run and fails. Packaging needs the cross compilers, CMake, the
# host compiler with minizip and zlib (for the release tools), zlib for the
# cross compilers and xorriso. The tests need besides: GoogleTest, Wine
# (wine32 needs the i386 architecture, which the first adds), a display,
# the ja_JP.UTF-8 locale (which the first generates) and the tools that
# check a release as players would. Both toolchains and both Wine loaders
# are installed on every machine: the 32-bit build always ships, and the
# 64-bit one runs the tests where 32-bit code cannot run.
#
# A process that found the locale missing cannot switch to it once it has
# been generated (glibc remembers the failure), so restart_after_new_locale
# starts the script again, once, in a fresh process when the locale is new.

packaging_packages=(cmake g++ mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                    libminizip-dev zlib1g-dev libz-mingw-w64-dev xorriso)
test_packages=(googletest libgtest-dev wine wine32 wine64 xvfb xauth locales
               fuseiso fuse-overlayfs unzip python3 cksfv openssl osslsigncode)
locale_generated=0

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Wine can store files with non-ASCII names only under a UTF-8 locale.
japanese_locale_present() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'
}

enable_japanese_locale() {
    if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    fi
    locale-gen || return 1
    locale_generated=1
}

restart_after_new_locale() {
    if [ "$locale_generated" -eq 1 ] && [ -z "${PREREQUISITES_RESTARTED:-}" ]; then
        echo "== the ja_JP.UTF-8 locale is new: starting $(basename "$1") again"
        PREREQUISITES_RESTARTED=1 exec "$BASH" "$@"
    fi
}

# The packages given that are not installed, one a line.
missing_packages() {
    local package
    for package in "$@"; do
        package_installed "$package" || echo "$package"
    done
}

# Installs the packages given (as root), adding the i386 architecture
# first when wine32 is among them.
install_packages() {
    echo "Installing: $*"
    if printf '%s\n' "$@" | grep -qx 'wine32'; then
        dpkg --add-architecture i386 || return 1
    fi
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y "$@"
}

# Says what to run as root to install the packages given and, when the
# second argument is 1, to generate the locale.
explain_missing() {
    local need_locale="$1" what
    shift
    what=("$@")
    [ "$need_locale" -eq 0 ] || what+=("the ja_JP.UTF-8 locale")
    echo "Missing: ${what[*]}" >&2
    echo "Run as root, or install them yourself:" >&2
    if printf '%s\n' "$@" | grep -qx 'wine32'; then
        echo "  dpkg --add-architecture i386 && apt-get update" >&2
    fi
    [ $# -eq 0 ] || echo "  apt-get install -y $*" >&2
    [ "$need_locale" -eq 0 ] ||
        echo "  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen &&" \
            "locale-gen" >&2
}

# Installs the missing ones of the packages given, and the locale when the
# first argument is 1.
ensure_packages() {
    local want_locale="$1" need_locale=0 missing
    shift
    mapfile -t missing < <(missing_packages "$@")
    if [ "$want_locale" -eq 1 ] && ! japanese_locale_present; then
        need_locale=1
    fi
    if [ ${#missing[@]} -eq 0 ] && [ "$need_locale" -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        explain_missing "$need_locale" "${missing[@]}"
        return 1
    fi
    # Each failure returns: a caller in a condition has no errexit here.
    if [ ${#missing[@]} -ne 0 ]; then
        install_packages "${missing[@]}" || return 1
    fi
    [ "$need_locale" -eq 0 ] || enable_japanese_locale
}

ensure_prerequisites() {
    ensure_packages 1 "${packaging_packages[@]}" "${test_packages[@]}" "$@"
}

ensure_packaging_prerequisites() {
    ensure_packages 0 "${packaging_packages[@]}" "$@"
}
