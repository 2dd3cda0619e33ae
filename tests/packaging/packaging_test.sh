#!/usr/bin/env bash
# The manual page, the bash completion, the installed tree and the Debian
# package; one mode per test:
#
#   packaging_test.sh manual|completion|install|deb SOURCE_DIR BUILD_DIR XEV CMAKE CPACK
#
# Exits 77 (skipped) when a tool the mode needs is not installed.
set -u
mode=$1 src=$2 build=$3 xev=$4 cmake=$5 cpack=$6 failures=0
work=$(mktemp -d) && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT

# check NAME EXPECTED GOT
check() { [[ $3 == "$2" ]] || { ((++failures)); printf 'FAIL %s\n  expected [%s]\n  got      [%s]\n' "$@"; }; }
need() { command -v "$1" >/dev/null || { echo "$1 not installed: skipped"; exit 77; }; }
words() { LC_ALL=C sort | paste -sd' '; }

manual() {
    need mandoc
    local page=$src/doc/cpmxev.1 text option missing='' name format code count=0
    check 'mandoc -Tlint' '' "$(mandoc -Tlint "$page" 2>&1)"
    text=$(mandoc -Tascii "$page" | sed 's/.\x08//g') # as read, overstriking removed
    # Each option of the option table has a tagged paragraph in the manual and
    # a place in the completion and in the README's usage.
    local completion readme
    completion=$(sed -n "/^_xev_options='/,/'\$/p" "$src/completion/cpmxev.bash")
    readme=$(sed -n '/^## Usage/,/^## Examples/p' "$src/README.md")
    for option in $(sed -nE 's/^ +\{"(-[a-z0-9]+)", V::.*/\1/p' "$src/src/cli/options.cpp"); do
        ((++count))
        grep -qE "^       $option( |\$)" <<<"$text" || missing+=" $option"
        grep -qE -- "(^|[' ])$option( |'|\$)" <<<"$completion" || missing+=" completion$option"
        grep -qE -- "[\` ]$option( |\`|\$)" <<<"$readme" || missing+=" README$option"
    done
    check 'options without an entry' '28 ' "$count $missing"
    # Each exit code with its message, a placeholder as any lower-case stand-in.
    count=0 missing=
    while IFS=$'\t' read -r name format; do
        format=$(sed -e 's/[][\.*^$?+(){}|/]/\\&/g' -e 's/%l\?[sd]/[a-z ]+/g' <<<"$format")
        code=$(sed -nE "s/^constexpr ErrorCode $name = -([0-9]+);.*/\\1/p" "$src/src/cpm/error.h")
        ((++count)) && grep -qE "^ +${code:-none} +$format\$" <<<"$text" || missing+=" $name"
    done < <(sed -nE 's/^ *\{(ERR_[A-Z_]+), "(.*)"\},$/\1\t\2/p' "$src/src/cli/errors.cpp")
    check 'exit codes without their message' '34 ' "$count $missing"
}

# complete WORD... : what the completion offers for the last word, sorted.
complete_line() {
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMPREPLY=() COMP_POINT=${#COMP_LINE}
    _xev "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | words
}

completion() {
    # The program on PATH under its installed name, its definitions beside it.
    mkdir bin sub && cp "$xev" bin/cpmxev && PATH=$work/bin:$PATH
    ln -s "$src/xev.ini" bin/cpmxev.ini && ln -s "$src/xev-formats.ini" bin/cpmxev-formats.ini
    # shellcheck source=SCRIPTDIR/../../completion/cpmxev.bash
    source "$src/completion/cpmxev.bash" || exit 1
    touch B.DSK notes.txt x.dsk2 && printf 'x\n' >host.txt && cpmxev a.dsk -f >/dev/null
    for name in '0 $$$.SUB' '0 STAT.COM' '3 PIP.COM'; do
        cpmxev a.dsk -u "${name% *}" -a host.txt -afn "${name#* }" >/dev/null
    done
    check 'images by type' 'B.DSK a.dsk bin sub' "$(complete_line cpmxev '')"
    check 'queries' '--help --version' "$(complete_line cpmxev --)"
    check 'options after values' '-c -c1 -cd -cj -cp -cu' "$(complete_line cpmxev a.dsk -u 3 -sa X RS -c)"
    check 'names from the catalogue' 'PIP.COM STAT.COM \$\$\$.SUB' "$(complete_line cpmxev a.dsk -e '')"
    check 'names of user 3' 'PIP.COM' "$(complete_line cpmxev a.dsk -u 3 -e '')"
    check 'named formats after -it' 'ibm-3740' "$(complete_line cpmxev a.dsk -it IBM-37)"
    mkdir -p cfg/xev && printf '[zz-Mine]\n' >cfg/xev/xev.ini
    check 'types of the user file' 'zz-mine' "$(XDG_CONFIG_HOME=$work/cfg complete_line cpmxev a.dsk -it zz)"
}

# The files of a tree, mode, path and link target, sorted; and the expected.
listing() { (cd "$1" && find . ! -type d -printf '%M %P %l\n' | sed 's/ $//' | words); }
expect() { printf '%s\n' "$@" | words; }
files=('-rwxr-xr-x bin/cpmxev' '-rw-r--r-- share/bash-completion/completions/cpmxev'
    '-rw-r--r-- share/man/man1/cpmxev.1.gz' '-rw-r--r-- share/doc/cpmxev/README.md'
    '-rw-r--r-- share/doc/cpmxev/LICENSE' '-rw-r--r-- share/doc/cpmxev/copyright')

install() {
    "$cmake" --install "$build" --prefix "$work/p" >log 2>&1 || { cat log; exit 1; }
    check 'installed tree' "$(expect "${files[@]}" '-rw-r--r-- etc/cpmxev/cpmxev.ini' \
        '-rw-r--r-- etc/cpmxev/cpmxev-formats.ini' 'lrwxrwxrwx bin/cpmxev.ini ../etc/cpmxev/cpmxev.ini' \
        'lrwxrwxrwx bin/cpmxev-formats.ini ../etc/cpmxev/cpmxev-formats.ini')" "$(listing p)"
    local pair path differ=
    for pair in etc/cpmxev/cpmxev.ini:xev.ini etc/cpmxev/cpmxev-formats.ini:xev-formats.ini \
        share/man/man1/cpmxev.1.gz:doc/cpmxev.1 \
        share/bash-completion/completions/cpmxev:completion/cpmxev.bash \
        share/doc/cpmxev/README.md:README.md share/doc/cpmxev/copyright:LICENSE; do
        path=p/${pair%%:*}
        if [[ $path == *.gz ]]; then gzip -dc "$path"; else cat "$path"; fi 2>/dev/null |
            cmp -s - "$src/${pair#*:}" || differ+=" $path"
    done
    check 'installed files not as their source' '' "$differ"
    # Called by its bare name, it finds its definitions through the link.
    check 'installed cpmxev -iti' 0 "$(PATH=$work/p/bin cpmxev a.dsk -iti >/dev/null 2>&1; echo $?)"
}

deb() {
    need dpkg-deb
    # Packing an installed copy is quicker than letting cpack build the tree.
    { DESTDIR=$work/stage "$cmake" --install "$build" --prefix /usr --strip &&
        "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B out \
            -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$work/stage;."
    } >log 2>&1 || { cat log; exit 1; }
    local deb path shared=''; deb=$(echo out/cpmxev_2.4_*.deb)
    check 'package' 'cpmxev 2.4 yes' "$(dpkg-deb -f "$deb" Package Version | cut -d' ' -f2 | paste -sd' ') \
$([[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] && echo yes)"
    check 'conffiles' '/etc/cpmxev/cpmxev.ini /etc/cpmxev/cpmxev-formats.ini' \
        "$(dpkg-deb -I "$deb" conffiles | paste -sd' ')"
    dpkg-deb -x "$deb" tree
    check 'contents' "etc usr | -rw-r--r-- cpmxev/cpmxev-formats.ini -rw-r--r-- cpmxev/cpmxev.ini | \
$(expect "${files[@]}" 'lrwxrwxrwx bin/cpmxev.ini /etc/cpmxev/cpmxev.ini' \
        'lrwxrwxrwx bin/cpmxev-formats.ini /etc/cpmxev/cpmxev-formats.ini')" \
        "$(ls tree | words) | $(listing tree/etc) | $(listing tree/usr)"
    # No path that another installed package owns (x11-utils owns /usr/bin/xev).
    for path in $(cd tree && find . ! -type d | cut -c2-); do
        dpkg -S "$path" 2>/dev/null | grep -qv '^cpmxev: ' && shared+=" $path"
    done
    check 'paths of other packages' '' "$shared"
}

case $mode in manual | completion | install | deb) "$mode" ;; *) exit 2 ;; esac
((failures == 0))
