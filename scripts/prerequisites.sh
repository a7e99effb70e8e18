# What building and running the programs and their tests needs on Debian 12.
# Source it, then call, from the script itself (not from a function):
#
#   ensure_prerequisites [extra package...]
#   restart_after_new_locale "$0" "$@"
#
# The first installs what is missing when run as root (adding the i386
# architecture that wine32 needs and generating the ja_JP.UTF-8 locale);
# otherwise it says exactly what to run and fails. Both toolchains and both
# Wine loaders are installed on every machine: the 32-bit build always
# ships, and the 64-bit one runs the tests where 32-bit code cannot run.
#
# A process that found the locale missing cannot switch to it once it has
# been generated (glibc remembers the failure), so the second starts the
# script again, once, in a fresh process when the locale is new.

base_packages=(cmake g++ googletest libgtest-dev mingw-w64
               g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
               wine wine32 wine64 xvfb xauth locales
               xorriso zip unzip fuseiso fuse-overlayfs)
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
    locale-gen
    locale_generated=1
}

restart_after_new_locale() {
    if [ "$locale_generated" -eq 1 ] && [ -z "${PREREQUISITES_RESTARTED:-}" ]; then
        echo "== the ja_JP.UTF-8 locale is new: starting $(basename "$1") again"
        PREREQUISITES_RESTARTED=1 exec "$BASH" "$@"
    fi
}

ensure_prerequisites() {
    local missing=() package
    for package in "${base_packages[@]}" "$@"; do
        package_installed "$package" || missing+=("$package")
    done
    if [ ${#missing[@]} -eq 0 ] && japanese_locale_present; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing: ${missing[*]:-}${missing[*]:+ }$(japanese_locale_present || echo 'the ja_JP.UTF-8 locale')" >&2
        echo "Run as root, or install them yourself:" >&2
        echo "  dpkg --add-architecture i386 && apt-get update" >&2
        [ ${#missing[@]} -eq 0 ] || echo "  apt-get install -y ${missing[*]}" >&2
        echo "  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen && locale-gen" >&2
        return 1
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        dpkg --add-architecture i386
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
    fi
    japanese_locale_present || enable_japanese_locale
}
