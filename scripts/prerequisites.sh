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
# host compiler with minizip, zlib and OpenSSL's libcrypto (for the release
# tools), zlib for the cross compilers, xorriso, zstd (which makes the
# patches) and the zstd library's sources from Debian's source package
# (build/third_party), from which every Windows build compiles its decoder
# of those patches. The tests need besides: libzstd-dev (the native tests'
# decoder), GoogleTest, Wine (wine32 needs the i386 architecture, which the
# first adds), a display, the ja_JP.UTF-8 locale (which the first
# generates) and the tools that check a release as players would. Both
# toolchains and both Wine loaders are installed on every machine: the
# 32-bit build always ships, and the 64-bit one runs the tests where 32-bit
# code cannot run.
#
# A process that found the locale missing cannot switch to it once it has
# been generated (glibc remembers the failure), so restart_after_new_locale
# starts the script again, once, in a fresh process when the locale is new.

packaging_packages=(cmake g++ mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                    libminizip-dev zlib1g-dev libssl-dev libz-mingw-w64-dev xorriso zstd
                    dpkg-dev)
test_packages=(libzstd-dev googletest libgtest-dev wine wine32 wine64 xvfb xauth locales
               fuseiso fuse-overlayfs unzip python3 cksfv openssl osslsigncode)
locale_generated=0
# Where the zstd library's sources are unpacked, one folder a version, and
# the link to the current one that the build reads (cmake/zstd.cmake).
third_party="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/third_party"
zstd_sources_link="$third_party/libzstd"
# The deb-src entry added when apt has none.
deb_src_file=/etc/apt/sources.list.d/debian-src.sources

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

# The source version (with any epoch) of the installed zstd, which
# libzstd-dev must match where it is installed: the decoder built from the
# sources is the one the patches were made for and the native tests use.
zstd_source_version() {
    local package version versions=()
    for package in zstd libzstd-dev; do
        package_installed "$package" || continue
        version="$(dpkg-query -W -f='${source:Version}' "$package")" || return 1
        versions+=("$version")
    done
    if [ ${#versions[@]} -eq 0 ]; then
        echo "zstd is not installed: apt-get install -y zstd" >&2
        return 1
    fi
    if [ ${#versions[@]} -eq 2 ] && [ "${versions[0]}" != "${versions[1]}" ]; then
        echo "zstd is at ${versions[0]} but libzstd-dev at ${versions[1]}; bring them" \
            "to one version: apt-get install -y zstd libzstd-dev" >&2
        return 1
    fi
    echo "${versions[0]}"
}

# The deb-src stanzas for the deb stanzas of a deb822 sources file (on
# standard input): the same URIs, suites, components and key.
deb_src_stanzas() {
    awk 'BEGIN { RS = ""; FS = "\n" }
    {
        types = ""; enabled = 1; kept = ""; field = ""
        for (i = 1; i <= NF; i++) {
            if ($i ~ /^#/) continue
            if ($i ~ /^[ \t]/) {
                if (field ~ /^(uris|suites|components|signed-by)$/) kept = kept $i "\n"
                continue
            }
            field = tolower(substr($i, 1, index($i, ":") - 1))
            value = substr($i, index($i, ":") + 1)
            if (field == "types") types = " " value " "
            else if (field == "enabled" && tolower(value) ~ /^[ \t]*no/) enabled = 0
            else if (field ~ /^(uris|suites|components|signed-by)$/) kept = kept $i "\n"
        }
        if (enabled && types ~ /[ \t]deb[ \t]/) {
            printf "%sTypes: deb-src\n%s", separator, kept
            separator = "\n"
        }
    }'
}

# What the deb-src file holds: the stanzas for Debian's mirror as
# debian.sources names it, or else the deb lines of sources.list as
# deb-src lines (the file then ends in .list).
deb_src_entries() {
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        deb_src_stanzas </etc/apt/sources.list.d/debian.sources
    elif [ -f /etc/apt/sources.list ]; then
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list
    fi
}

deb_src_entry_file() {
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        echo "$deb_src_file"
    else
        echo "${deb_src_file%.sources}.list"
    fi
}

# Whether apt reads any deb-src entry (from any sources file, enabled).
deb_src_configured() {
    local targets
    # shellcheck disable=SC2016 # apt expands $(TARGET_OF)
    targets="$(apt-get indextargets --format '$(TARGET_OF)')" || return 1
    grep -qx deb-src <<<"$targets"
}

# Whether apt's lists hold the source package at the version given.
source_version_listed() {
    local records
    records="$(apt-cache showsrc --only-source "$1" 2>/dev/null)" || return 1
    grep -qxF "Version: $2" <<<"$records"
}

# Makes the source package given known to apt at the version given: as
# root it adds a deb-src entry for Debian's mirror when apt has none and
# reads the lists again; otherwise it says what to run.
ensure_source_listed() {
    local source="$1" version="$2" entries file
    [ -z "$(listed_source_versions "$source" "$version")" ] || return 0
    if ! deb_src_configured; then
        entries="$(deb_src_entries)"
        file="$(deb_src_entry_file)"
        if [ -z "$entries" ]; then
            echo "Missing: Debian's source package $source $version, and no Debian mirror" \
                "in /etc/apt to add a deb-src entry for; add one yourself and run" \
                "apt-get update" >&2
            return 1
        fi
        if [ "$(id -u)" -ne 0 ]; then
            echo "Missing: Debian's source package $source $version (apt has no deb-src entry)" >&2
            echo "Run as root, or add the entry yourself:" >&2
            printf "  cat >%s <<'EOF'\n%s\nEOF\n  apt-get update\n" "$file" "$entries" >&2
            return 1
        fi
        echo "Adding $file: Debian's source packages from the same mirror"
        printf '%s\n' "$entries" >"$file" || return 1
    elif [ "$(id -u)" -ne 0 ]; then
        echo "Missing: Debian's source package $source $version in apt's lists" >&2
        echo "Run as root, or yourself: apt-get update" >&2
        return 1
    fi
    apt-get update || return 1
    if [ -z "$(listed_source_versions "$source" "$version")" ]; then
        echo "Debian's mirror offers no source package $source of the release ${version%-*}" \
            "that the installed zstd was built from; upgrade it: apt-get install -y zstd" \
            "libzstd-dev" >&2
        return 1
    fi
}

# The versions of the source package to try for the version given, one a
# line: that one where apt's lists hold it, then the others they hold of the
# same upstream release (the part before the last "-"), newest first. The
# mirror may carry a security update's binary packages but not its
# sources; the zstd is then the same, without Debian's later patches.
listed_source_versions() {
    local source="$1" version="$2"
    source_version_listed "$source" "$version" && echo "$version"
    apt-cache showsrc --only-source "$source" 2>/dev/null | sed -n 's/^Version: //p' |
        awk -v upstream="${version%-*}" -v exact="$version" '{
            listed = $0; sub(/-[^-]*$/, "", listed)
            if (listed == upstream && $0 != exact) print }' | sort -u |
        sort -r -V
}

# Fetches the source package given at the version given into a folder of
# its own beside the others (apt checks it against the signed lists,
# dpkg-source against its .dsc) and unpacks it there, into <folder>/src.
fetch_source_package() {
    local source="$1" version="$2" folder="$3"
    mkdir "$folder/download" || return 1
    # apt downloads as its own user where it can write.
    if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
        chmod 755 "$folder" && chown _apt "$folder/download" || return 1
    fi
    (cd "$folder/download" && apt-get source --download-only "$source=$version") || return 1
    # Without Debian's developers' keyring dpkg-source cannot check the .dsc's
    # own signature and warns; apt checked the files against the signed lists.
    dpkg-source -x "$folder/download/${source}_${version#*:}.dsc" "$folder/src" || return 1
}

# Unpacks libzstd at the version given as build/third_party/<name>, by way
# of a scratch folder: the folder appears whole or not at all, even with
# another run at once.
unpack_zstd_sources() {
    local version="$1" name="$2" work status=0
    echo "Unpacking Debian's source package libzstd $version into $third_party/$name"
    mkdir -p "$third_party" && work="$(mktemp -d "$third_party/.unpack-XXXXXX")" || return 1
    if fetch_source_package libzstd "$version" "$work"; then
        mv -T "$work/src" "$third_party/$name" 2>/dev/null ||
            [ -d "$third_party/$name/lib/decompress" ] || status=1
    else
        status=1
    fi
    rm -rf "$work"
    return "$status"
}

# Unpacks the sources of the installed zstd into
# build/third_party/libzstd-<version> and points build/third_party/libzstd
# at them; does nothing when they are there (the file zstd-version in the
# folder names the installed version they serve). Older versions' folders
# go.
ensure_zstd_sources() {
    local version fetched="" candidate name
    version="$(zstd_source_version)" || return 1
    [ "$(cat "$zstd_sources_link/zstd-version" 2>/dev/null)" != "$version" ] || return 0
    ensure_source_listed libzstd "$version" || return 1
    while read -r candidate; do
        name="libzstd-${candidate#*:}"
        if [ -d "$third_party/$name/lib/decompress" ] ||
            unpack_zstd_sources "$candidate" "$name"; then
            fetched="$candidate"
            break
        fi
    done < <(listed_source_versions libzstd "$version")
    if [ -z "$fetched" ]; then
        echo "No sources of the zstd release ${version%-*} (the installed zstd is $version)" \
            "could be fetched from Debian's mirror; the Windows builds compile the zstd" \
            "decoder from them" >&2
        return 1
    fi
    if [ "$fetched" != "$version" ]; then
        echo "Debian's mirror serves no sources of libzstd $version, the installed zstd;" \
            "the decoder is built from $fetched, the same zstd release"
    fi
    printf '%s\n' "$version" >"$third_party/$name/zstd-version" || return 1
    ln -sfn "$name" "$zstd_sources_link.new" && mv -T "$zstd_sources_link.new" "$zstd_sources_link" ||
        return 1
    find "$third_party" -maxdepth 1 -name 'libzstd-*' ! -name "$name" -exec rm -rf {} + || true
}

ensure_prerequisites() {
    ensure_packages 1 "${packaging_packages[@]}" "${test_packages[@]}" "$@" || return 1
    ensure_zstd_sources
}

ensure_packaging_prerequisites() {
    ensure_packages 0 "${packaging_packages[@]}" "$@" || return 1
    ensure_zstd_sources
}
