# Checks the headers and resources of the shipped 32-bit programs without
# running them, so that a change breaking the shipped build fails on every
# machine, also on one whose kernel runs no 32-bit code. Source it, then:
#
#   check_shipped_program <exe> <dialog id>...
#   carries_release_manifest <exe>
#   same_program_but_resources <exe> <exe>
#
# The first prints what is wrong and returns non-zero when the program is
# not a 32-bit (i386) GUI program carrying the given dialog templates, icon
# group 104, a version block and a manifest. The second says whether a
# program of either architecture carries a release manifest (RCDATA 120),
# as every packaged one does. The third says whether two programs differ
# only in their resources' contents, as a patch release's update.exe and
# the full release's do.

# objdump speaks the locale's language (the Wine scripts run under a Japanese
# one); its words are read here in English, so it runs with LC_ALL=C. The
# x86_64 one reads 32-bit programs too.
pe_objdump=x86_64-w64-mingw32-objdump

# The resources as "type/name" pairs in decimal ("5/105" is dialog 105),
# read off objdump's dump of the resource tree: type entries are indented
# three blanks after their offset, name entries five.
pe_resources() {
    local level id type=""
    while read -r level id; do
        case "$level" in
            3) type=$((16#$id)) ;;
            5) printf '%s/%s\n' "$type" "$((16#$id))" ;;
        esac
    done < <(LC_ALL=C "$pe_objdump" -p "$1" | sed -n '/The .rsrc Resource Directory/,$p' |
        sed -nE 's/^[0-9a-f]+( +)Entry: ID: 0x([0-9a-f]+),.*/\1\2/p' |
        awk '{ print length($0) - length($1), $1 }')
}

check_shipped_program() {
    local exe="$1" dump resources wanted problems=()
    shift
    if ! dump="$(LC_ALL=C "$pe_objdump" -p "$exe" 2>&1)"; then
        echo "$exe: not readable as a PE file: $dump" >&2
        return 1
    fi
    grep -q 'file format pei-i386' <<<"$dump" || problems+=("machine is not i386")
    grep -qE '^Magic[[:space:]]+010b' <<<"$dump" || problems+=("not a PE32 image")
    grep -qE '^Subsystem[[:space:]]+00000002' <<<"$dump" || problems+=("subsystem is not Windows GUI")
    resources="$(pe_resources "$exe")"
    for wanted in "${@/#/5/}" 14/104 16/1 24/1; do
        grep -qx "$wanted" <<<"$resources" || problems+=("resource $wanted missing")
    done
    if [ ${#problems[@]} -gt 0 ]; then
        printf '%s: %s\n' "$exe" "$(IFS=';'; echo "${problems[*]}")" >&2
        return 1
    fi
    echo "$exe: i386, Windows GUI, resources $(tr '\n' ' ' <<<"$resources")"
}

carries_release_manifest() {
    grep -qx 10/120 <<<"$(pe_resources "$1")"
}

# Whether two programs differ in their resources' contents alone (the
# release manifest, say): the same sections and resources, and every
# section but the resources' of the same bytes.
same_program_but_resources() {
    local section sections
    sections="$(pe_sections "$1")"
    [ "$sections" = "$(pe_sections "$2")" ] &&
        [ "$(pe_resources "$1")" = "$(pe_resources "$2")" ] || return 1
    for section in $sections; do
        [ "$section" != .rsrc ] || continue
        cmp -s <(pe_section "$1" "$section") <(pe_section "$2" "$section") || return 1
    done
}

pe_sections() {
    LC_ALL=C "$pe_objdump" -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }'
}

# A section's bytes on standard output: the program, the section.
pe_section() {
    LC_ALL=C "${pe_objdump%objdump}objcopy" -O binary --only-section="$2" "$1" /dev/stdout
}
