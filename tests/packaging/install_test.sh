#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks the layout: xev
# and xev.ini side by side (xev finds its definitions beside itself), the
# manual page, the bash completion and the documents.
#
#   install_test.sh BUILD_DIR SOURCE_DIR CMAKE
set -u
build=$1
src=$2
cmake=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() {
    failures=$((failures + 1))
    printf 'FAIL %s\n' "$*"
}
pass() { passes=$((passes + 1)); }

if ! "$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "cmake --install failed"
    exit 1
fi
p=$work/prefix

# Installed file and the source it must equal ("" for none).
while read -r path source; do
    if [[ ! -f $p/$path ]]; then
        fail "$path not installed"
    elif [[ $path == *.gz ]] && ! gzip -dc "$p/$path" | cmp -s - "$src/$source"; then
        fail "$path does not unpack to $source"
    elif [[ $path != *.gz && -n $source ]] && ! cmp -s "$p/$path" "$src/$source"; then
        fail "$path differs from $source"
    else
        pass
    fi
done <<'LIST'
bin/xev
bin/xev.ini xev.ini
share/man/man1/xev.1.gz doc/xev.1
share/bash-completion/completions/xev completion/xev.bash
share/doc/xev/README.md README.md
share/doc/xev/LICENSE LICENSE
share/doc/xev/copyright LICENSE
LIST

[[ -x $p/bin/xev ]] && pass || fail "bin/xev is not executable"

# The installed program reads the installed definitions, called by its path
# and by its bare name through PATH.
for how in path name; do
    if [[ $how == path ]]; then
        out=$(cd "$work" && "$p/bin/xev" dummy.dsk -iti </dev/null 2>&1)
    else
        out=$(cd "$work" && PATH="$p/bin:$PATH" xev dummy.dsk -iti </dev/null 2>&1)
    fi
    status=$?
    if [[ $status -eq 0 && $out == *'Definition parameters for `dsk`'* ]]; then
        pass
    else
        fail "installed xev called by its $how: status $status, output:"
        printf '%s\n' "$out"
    fi
done

# The installed completion finds the installed xev beside its own prefix.
out=$(cd "$work" && touch a.dsk notes.txt && PATH=/nonexistent "$BASH" -c '
    source "$1/share/bash-completion/completions/xev"
    COMP_WORDS=(xev ""); COMP_CWORD=1
    _xev xev "" xev
    printf "%s\n" "${COMPREPLY[@]}"' _ "$p")
if [[ $out == *a.dsk* && $out != *notes.txt* ]]; then
    pass
else
    fail "installed completion did not use the installed xev.ini; offered: $out"
fi

# The manual page is found by man through the prefix.
if command -v man >/dev/null 2>&1; then
    if MANPATH=$p/share/man man -w xev 2>/dev/null | grep -q "$p/share/man/man1/xev.1.gz"; then
        pass
    else
        fail "man does not find the installed page"
    fi
fi

echo "$passes passed, $failures failed"
((failures == 0))
