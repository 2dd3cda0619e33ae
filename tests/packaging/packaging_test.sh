#!/usr/bin/env bash
# The manual page, the bash completion, and the installed tree with the
# Debian package made of it; one mode per test:
#
#   packaging_test.sh manual|completion|install SOURCE_DIR BUILD_DIR XEV CMAKE CPACK
#
# The package is not made where dpkg-deb is not installed.
set -u
ulimit -t 10  # a program that loops on and on ends after 10 s of work
mode=$1 src=$2 build=$3 xev=$4 cmake=$5 cpack=$6 failures=0 missing='' options=0 codes=0
work=$(mktemp -d) && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT

# check NAME EXPECTED GOT
check() { [[ $3 == "$2" ]] || { ((++failures)); printf 'FAIL %s\n  expected [%s]\n  got      [%s]\n' "$@"; }; }
words() { LC_ALL=C sort | paste -sd' '; }

manual() {
    check 'mandoc -Tlint' '' "$(mandoc -Tlint "$src/doc/cpmxev.1" 2>&1)"
    text=$(mandoc -Tascii "$src/doc/cpmxev.1" | sed 's/.\x08//g') # as read, overstriking removed
    # Each option of the option table has a tagged paragraph in the manual and
    # a place in the completion's option list and in the README's usage.
    completion=$(sed -n "/^_xev_options='/,/'\$/p" "$src/completion/cpmxev.bash")
    readme=$(sed -n '/^## Usage/,/^## Examples/p' "$src/README.md")
    for option in $(sed -nE 's/^ +\{"(-[a-z0-9]+)", V::.*/\1/p' "$src/src/cli/options.cpp"); do
        ((++options)) && grep -qE "^       $option( |\$)" <<<"$text" || missing+=" $option"
        grep -qE -- "(^|[\`' ])$option([\`' ]|\$)" <<<"$completion" || missing+=" completion$option"
        grep -qE -- "(^|[\`' ])$option([\`' ]|\$)" <<<"$readme" || missing+=" README$option"
    done
    # Each exit code with its message, a placeholder as any lower-case stand-in.
    while IFS=$'\t' read -r name format; do
        format=$(sed -e 's/[][\.*^$?+(){}|/]/\\&/g' -e 's/%l\?[sd]/[a-z ]+/g' <<<"$format")
        code=$(sed -nE "s/^constexpr ErrorCode $name = -([0-9]+);.*/\\1/p" "$src/src/cpm/error.h")
        ((++codes)) && grep -qE "^ +${code:-none} +$format\$" <<<"$text" || missing+=" $name"
    done < <(sed -nE 's/^ *\{(ERR_[A-Z_]+), "(.*)"\},$/\1\t\2/p' "$src/src/cli/errors.cpp")
    check 'options and exit codes without an entry' '28 34 ' "$options $codes $missing"
}

# complete WORD... : what the completion offers for the last word, sorted.
complete_line() {
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=() && _xev "$1" "${@: -1}" "${@: -2:1}"
    printf '%s\n' "${COMPREPLY[@]}" | words
}

completion() {
    # The program on PATH under its installed name, its definitions beside it,
    # and a user's own definition file.
    mkdir bin sub && cp "$xev" bin/cpmxev && PATH=$work/bin:$PATH
    ln -s "$src/xev.ini" bin/cpmxev.ini && ln -s "$src/xev-formats.ini" bin/cpmxev-formats.ini
    # shellcheck source=SCRIPTDIR/../../completion/cpmxev.bash
    source "$src/completion/cpmxev.bash" && touch B.DSK notes.txt x.dsk2 && printf 'x\n' >host.txt || exit 1
    for name in '0 $$$.SUB' '0 STAT.COM' '3 PIP.COM'; do cpmxev a.dsk -u "${name% *}" -a host.txt -afn "${name#* }"; done >/dev/null
    check 'images by type' 'B.DSK a.dsk bin sub' "$(complete_line cpmxev '')"
    check 'options after values' '-c -c1 -cd -cj -cp -cu' "$(complete_line cpmxev a.dsk -u 3 -sa X RS -c)"
    check 'names of user 0' 'STAT.COM \$\$\$.SUB' "$(complete_line cpmxev a.dsk -u 0 -e '')"
    mkdir -p cfg/xev && printf '[Ibm-37ZZ]\n' >cfg/xev/xev.ini && export XDG_CONFIG_HOME=$work/cfg
    check 'types after -it' 'ibm-3740 ibm-37zz' "$(complete_line cpmxev a.dsk -it IBM-37)"
}

# The files of a tree (mode, path, link target) sorted, each edited by SED.
listing() { (cd "$1" && find . ! -type d -printf '%M %P %l\n' | sed "s/ \$//;$2" | words); }

install() {
    "$cmake" --install "$build" --prefix "$work/p" >log 2>&1 || { cat log; exit 1; }
    # The installed files and their sources; the definitions linked beside cpmxev.
    local pair tree=('-rwxr-xr-x bin/cpmxev' 'lrwxrwxrwx bin/cpmxev.ini ../etc/cpmxev/cpmxev.ini'
        'lrwxrwxrwx bin/cpmxev-formats.ini ../etc/cpmxev/cpmxev-formats.ini')
    for pair in etc/cpmxev/cpmxev.ini:xev.ini etc/cpmxev/cpmxev-formats.ini:xev-formats.ini \
        share/man/man1/cpmxev.1.gz:doc/cpmxev.1 share/bash-completion/completions/cpmxev:completion/cpmxev.bash \
        share/doc/cpmxev/README.md:README.md share/doc/cpmxev/LICENSE:LICENSE share/doc/cpmxev/copyright:LICENSE; do
        tree+=("-rw-r--r-- ${pair%%:*}")
        gzip -cdf "p/${pair%%:*}" 2>/dev/null | cmp -s - "$src/${pair#*:}" || missing+=" ${pair%%:*}"
    done
    # Files not as their source are named after the tree.
    check 'installed tree' "$(printf '%s\n' "${tree[@]}" | words)" "$(listing p '')$missing"

    command -v dpkg-deb >/dev/null || { echo 'dpkg-deb not installed: no package made'; return; }
    # Packing an installed copy is quicker than letting cpack build the tree.
    { DESTDIR=$work/stage "$cmake" --install "$build" --prefix /usr --strip && "$cpack" -G DEB -B out \
        --config "$build/CPackConfig.cmake" -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$work/stage;." &&
        dpkg-deb -x out/cpmxev_2.4_*.deb tree; } >log 2>&1 || { cat log; exit 1; }
    check 'package' '/etc/cpmxev/cpmxev-formats.ini /etc/cpmxev/cpmxev.ini Package: cpmxev Version: 2.4 libc6' \
        "$(dpkg-deb -I out/*.deb control conffiles | grep -oE '^(Package|Version): .*|libc6|^/etc/.*' | words)"
    # The same tree under /usr, the definitions in /etc as configuration.
    check 'package tree' "$(listing p 's| \.\./etc/| /etc/|')" "$(listing tree 's| usr/| |')"
}

case $mode in manual | completion | install) "$mode" ;; *) exit 2 ;; esac
((failures == 0))
