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

manual() {
    need mandoc
    local page=$src/doc/xev.1 text option missing='' name format code count=0
    check 'mandoc -Tlint' '' "$(mandoc -Tlint "$page" 2>&1)"
    text=$(mandoc -Tascii "$page" | sed 's/.\x08//g') # as read, overstriking removed
    # Each option of the usage text has a tagged paragraph of its own.
    for option in $("$xev" </dev/null | grep -oE '^  -[a-z0-9]+' | sort -u); do
        ((++count)) && grep -qE "^       $option( |\$)" <<<"$text" || missing+=" $option"
    done
    check 'options without an entry' '23 ' "$count $missing"
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
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}

completion() {
    # The built xev through a link on PATH: its xev.ini lies beside the target.
    mkdir bin sub && ln -s "$xev" bin/xev && PATH=$work/bin:$PATH
    # shellcheck source=SCRIPTDIR/../../completion/xev.bash
    source "$src/completion/xev.bash" || exit 1
    touch B.DSK notes.txt x.dsk2 && printf 'x\n' >host.txt && xev a.dsk -f >/dev/null
    for name in '0 $$$.SUB' '0 STAT.COM' '3 PIP.COM'; do
        xev a.dsk -u "${name% *}" -a host.txt -afn "${name#* }" >/dev/null
    done
    check 'images by type' 'B.DSK a.dsk bin sub' "$(complete_line xev '')"
    check 'options after values' '-c -c1 -cd -cp -cu' "$(complete_line xev a.dsk -u 3 -sa X RS -c)"
    check 'names from the catalogue' 'PIP.COM STAT.COM \$\$\$.SUB' "$(complete_line xev a.dsk -e '')"
    check 'names of user 3' 'PIP.COM' "$(complete_line xev a.dsk -u 3 -e '')"
    check 'named formats after -it' 'ibm-3740' "$(complete_line xev a.dsk -it IBM-37)"
    mkdir -p cfg/xev && printf '[zz-Mine]\n' >cfg/xev/xev.ini
    check 'types of the user file' 'zz-mine' "$(XDG_CONFIG_HOME=$work/cfg complete_line xev a.dsk -it zz)"
}

install() {
    "$cmake" --install "$build" --prefix "$work/p" >log 2>&1 || { cat log; exit 1; }
    local pair path differ; differ=$([[ -x p/bin/xev ]] || echo ' bin/xev')
    for pair in bin/xev.ini:xev.ini bin/xev-formats.ini:xev-formats.ini share/man/man1/xev.1.gz:doc/xev.1 share/doc/xev/README.md:README.md \
        share/bash-completion/completions/xev:completion/xev.bash share/doc/xev/LICENSE:LICENSE \
        share/doc/xev/copyright:LICENSE; do
        path=p/${pair%%:*}
        if [[ $path == *.gz ]]; then gzip -dc "$path"; else cat "$path"; fi 2>/dev/null |
            cmp -s - "$src/${pair#*:}" || differ+=" $path"
    done
    check 'installed files missing or not as their source' '' "$differ"
    # Called by its bare name, xev finds the definitions installed beside it.
    check 'installed xev -iti' 0 "$(PATH=$work/p/bin xev a.dsk -iti >/dev/null 2>&1; echo $?)"
}

deb() {
    need dpkg-deb
    # Packing an installed copy is quicker than letting cpack build the tree.
    { "$cmake" --install "$build" --prefix "$work/stage/usr" --strip &&
        "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B out \
            -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$work/stage;."
    } >log 2>&1 || { cat log; exit 1; }
    local deb; deb=$(echo out/xev_2.4_*.deb)
    check 'package' 'xev 2.4 yes' "$(dpkg-deb -f "$deb" Package Version | cut -d' ' -f2 | paste -sd' ') \
$([[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] && echo yes)"
    check 'conffiles' /usr/bin/xev.ini "$(dpkg-deb -I "$deb" conffiles)"
    check 'contents' "-rw-r--r--:./usr/bin/xev-formats.ini -rw-r--r--:./usr/bin/xev.ini \
-rw-r--r--:./usr/share/bash-completion/completions/xev \
-rw-r--r--:./usr/share/doc/xev/LICENSE -rw-r--r--:./usr/share/doc/xev/README.md \
-rw-r--r--:./usr/share/doc/xev/copyright -rw-r--r--:./usr/share/man/man1/xev.1.gz -rwxr-xr-x:./usr/bin/xev" \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1 ":" $NF}' | LC_ALL=C sort | paste -sd' ')"
}

case $mode in manual | completion | install | deb) "$mode" ;; *) exit 2 ;; esac
((failures == 0))
