#!/usr/bin/env bash
# The manual page, the bash completion, the installed tree and the Debian
# package; one mode per test:
#
#   packaging_test.sh manual|completion|install|deb SOURCE_DIR BUILD_DIR XEV CMAKE CPACK
#
# Prints "N passed, N failed"; exits 77 (skipped) when a tool the mode needs
# is not installed.
set -u
mode=$1 src=$2 build=$3 xev=$4 cmake=$5 cpack=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passes=0 failures=0

# check NAME EXPECTED GOT
check() {
    if [[ $3 == "$2" ]]; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  expected: [%s]\n  got:      [%s]\n' "$1" "$2" "$3"
    fi
}
need() { command -v "$1" >/dev/null || { echo "$1 not installed: skipped"; exit 77; }; }

manual() {
    need mandoc
    local page=$src/doc/xev.1 text options option missing='' name code format count=0
    check 'mandoc -Tlint' '' "$(mandoc -Tlint "$page" 2>&1)"
    text=$(mandoc -Tascii "$page" | sed 's/.\x08//g') # as read, overstriking removed
    # Each option of the usage text has a tagged paragraph of its own.
    options=$("$xev" </dev/null | grep -oE '^  -[a-z0-9]+' | sort -u)
    check 'options in the usage text' 23 "$(wc -w <<<"$options")"
    for option in $options; do
        grep -qE "^       $option( |\$)" <<<"$text" || missing+=" $option"
    done
    check 'options without an entry' '' "$missing"
    # Each exit code with the message xev prints for it, a placeholder as any
    # lower-case stand-in.
    local -A code_of=()
    while read -r name code; do code_of[$name]=${code#-}; done < <(sed -nE \
        's/^constexpr ErrorCode (ERR_[A-Z_]+) = (-[0-9]+);.*/\1 \2/p' "$src/src/cli/errors.h")
    missing=
    while IFS=$'\t' read -r name format; do
        count=$((count + 1))
        format=$(sed -e 's/[][\.*^$?+(){}|/]/\\&/g' -e 's/%l\?[sd]/[a-z ]+/g' <<<"$format")
        grep -qE "^ +${code_of[$name]-none} +$format\$" <<<"$text" || missing+=" $name"
    done < <(sed -nE 's/^ *\{(ERR_[A-Z_]+), "(.*)"\},$/\1\t\2/p' "$src/src/cli/errors.cpp")
    check 'messages in errors.cpp' 33 "$count"
    check 'exit codes without their message' '' "$missing"
    # The plain text that the Windows zip carries: the same page, CRLF lines.
    "$cmake" -DMANDOC="$(command -v mandoc)" -DINPUT="$page" -DOUTPUT=xev.txt \
        -DLINE_END=CRLF -P "$src/scripts/man_to_text.cmake"
    check 'xev.txt without CR' "$text" "$(tr -d '\r' <xev.txt)"
    check 'xev.txt lines without CR' 0 "$(grep -vc $'\r$' xev.txt)"
}

# complete WORD... : what the completion offers for the last word, sorted.
complete_line() {
    local -a sorted
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMPREPLY=()
    COMP_POINT=${#COMP_LINE}
    _xev "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    mapfile -t sorted < <(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
    echo "${sorted[*]}"
}

completion() {
    # The built xev through a link on PATH: its xev.ini lies beside the target.
    mkdir bin sub && ln -s "$xev" bin/xev && PATH=$work/bin:$PATH
    # shellcheck source=SCRIPTDIR/../../completion/xev.bash
    source "$src/completion/xev.bash" || exit 1
    touch B.DSK notes.txt x.dsk2
    printf 'x\n' >host.txt
    xev a.dsk -f >/dev/null
    for name in '$$$.SUB' STAT.COM; do xev a.dsk -a host.txt -afn "$name" >/dev/null; done
    for name in PIP.COM STAT.COM; do xev a.dsk -u 3 -a host.txt -afn "$name" >/dev/null; done

    check 'images by type' 'B.DSK a.dsk bin sub' "$(complete_line xev '')"
    check 'options after values' '-c -c1 -cp -cu' "$(complete_line xev a.dsk -u 3 -sa X RS -c)"
    check 'host paths after -a' 'host.txt' "$(complete_line xev a.dsk -a h)"
    check 'names from the catalogue' 'PIP.COM STAT.COM \$\$\$.SUB' \
        "$(complete_line xev a.dsk -e '')"
    check 'names of user 3' 'PIP.COM STAT.COM' "$(complete_line xev a.dsk -u 3 -e '')"
    check 'a name typed in lower case' 'STAT.COM' "$(complete_line xev a.dsk -t st)"
    check 'a $ name in double quotes' '\$\$\$.SUB' "$(complete_line xev a.dsk -su '"$')"
    check 'folders and names after -x' 'STAT.COM sub/' "$(complete_line xev a.dsk -x s)"
}

install_tree() {
    "$cmake" --install "$build" --prefix "$work/p" >log 2>&1 || { cat log; exit 1; }
    local path source differ=
    while read -r path source; do
        case $path in
            bin/xev) [[ -x p/$path ]] ;;
            *.gz) gzip -dc "p/$path" | cmp -s - "$src/$source" ;;
            *) cmp -s "p/$path" "$src/$source" ;;
        esac || differ+=" $path"
    done <<'LIST'
bin/xev
bin/xev.ini xev.ini
share/man/man1/xev.1.gz doc/xev.1
share/bash-completion/completions/xev completion/xev.bash
share/doc/xev/README.md README.md
share/doc/xev/LICENSE LICENSE
share/doc/xev/copyright LICENSE
LIST
    check 'installed files missing or not as their source' '' "$differ"
    # Called by its bare name, xev finds the definitions installed beside it;
    # the installed completion finds the installed xev without any on PATH.
    mkdir cwd && cd cwd && touch a.dsk notes.txt
    check 'installed xev -iti' 0 "$(PATH=$work/p/bin xev a.dsk -iti >/dev/null 2>&1; echo $?)"
    # shellcheck disable=SC2016 # expanded by the inner shell
    check 'installed completion' 'a.dsk' "$(PATH=/nonexistent "$BASH" -c '
        source "$1/share/bash-completion/completions/xev"
        COMP_WORDS=(xev ""); COMP_CWORD=1; _xev xev "" xev; echo "${COMPREPLY[*]}"
    ' _ "$work/p")"
}

deb() {
    need dpkg-deb
    # cpack would first build the whole tree again; packing an installed copy
    # of it is quick and holds the same files.
    { "$cmake" --install "$build" --prefix "$work/stage/usr" --strip &&
        "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B out \
            -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$work/stage;."
    } >log 2>&1 || { cat log; exit 1; }
    local arch deb
    arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
    deb=out/xev_2.4_$arch.deb
    check 'package file' "$deb" "$(echo out/*.deb)"
    check 'control' "Package: xev
Version: 2.4
Architecture: $arch
Maintainer: The xev Authors
Section: utils
Priority: optional
Description: CP/M disk image manager" \
        "$(dpkg-deb -f "$deb" Package Version Architecture Maintainer Section Priority \
            Description | head -7)"
    check 'Depends' yes "$([[ $(dpkg-deb -f "$deb" Depends) == *libc6* ]] && echo yes)"
    check 'conffiles' /usr/bin/xev.ini "$(dpkg-deb -I "$deb" conffiles)"
    check 'contents' "-rw-r--r-- ./usr/bin/xev.ini
-rw-r--r-- ./usr/share/bash-completion/completions/xev
-rw-r--r-- ./usr/share/doc/xev/LICENSE
-rw-r--r-- ./usr/share/doc/xev/README.md
-rw-r--r-- ./usr/share/doc/xev/copyright
-rw-r--r-- ./usr/share/man/man1/xev.1.gz
-rwxr-xr-x ./usr/bin/xev" \
        "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $NF}' | LC_ALL=C sort)"
}

case $mode in
    manual | completion | deb) "$mode" ;;
    install) install_tree ;;
    *) echo "unknown mode $mode"; exit 2 ;;
esac
echo "$passes passed, $failures failed"
((failures == 0))
