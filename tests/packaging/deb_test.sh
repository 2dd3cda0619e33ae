#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack, in a scratch
# folder, and checks its control data and contents; then unpacks it and runs
# the packaged xev against the packaged definitions.
#
#   deb_test.sh BUILD_DIR CPACK
#
# Exits 77 (skipped) when dpkg-deb is missing.
set -u
build=$1
cpack=$2

if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "dpkg-deb not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() {
    failures=$((failures + 1))
    printf 'FAIL %s\n' "$*"
}
pass() { passes=$((passes + 1)); }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "cpack -G DEB failed"
    exit 1
fi
shopt -s nullglob
debs=("$work"/out/*.deb)
if ((${#debs[@]} != 1)); then
    echo "expected one package, found ${#debs[@]}"
    exit 1
fi
deb=${debs[0]}
arch=$(dpkg --print-architecture 2>/dev/null || echo amd64)
[[ ${deb##*/} == "xev_2.4_${arch}.deb" ]] && pass || fail "package file name ${deb##*/}"

# --- control data ----------------------------------------------------------
if ! info=$(dpkg-deb --info "$deb"); then
    fail "dpkg-deb --info refuses the package"
fi
field() { dpkg-deb --field "$deb" "$1"; }
while IFS='|' read -r name expected; do
    got=$(field "$name")
    if [[ $got == $expected ]]; then
        pass
    else
        fail "control field $name: expected '$expected', got '$got'"
    fi
done <<LIST
Package|xev
Version|2.4
Architecture|$arch
Maintainer|The xev Authors
Section|utils
Priority|optional
Description|CP/M disk image manager*
Depends|*libc6*
LIST

# --- contents: path, and whether it must be executable ----------------------
contents=$(dpkg-deb --contents "$deb")
while read -r path mode; do
    line=$(grep -E " \./${path//./\\.}\$" <<<"$contents")
    if [[ -z $line ]]; then
        fail "$path missing from the package"
    elif [[ $mode == x && $line != -rwxr-xr-x* ]]; then
        fail "$path is not executable: $line"
    elif [[ $mode == - && $line != -rw-r--r--* ]]; then
        fail "$path has mode ${line%% *}"
    else
        pass
    fi
done <<'LIST'
usr/bin/xev x
usr/bin/xev.ini -
usr/share/man/man1/xev.1.gz -
usr/share/bash-completion/completions/xev -
usr/share/doc/xev/README.md -
usr/share/doc/xev/LICENSE -
usr/share/doc/xev/copyright -
LIST
# Nothing but xev's own files: no test programs, no build-tree leftovers.
extra=$(awk '{print $NF}' <<<"$contents" | grep -vE '/$' |
    grep -vE '^\./usr/(bin/xev|bin/xev\.ini|share/man/man1/xev\.1\.gz|share/bash-completion/completions/xev|share/doc/xev/(README\.md|LICENSE|copyright))$')
[[ -z $extra ]] && pass || fail "unexpected files in the package: $extra"

# --- the unpacked program finds its definitions ------------------------------
dpkg-deb -x "$deb" "$work/root"
out=$(cd "$work" && "$work/root/usr/bin/xev" dummy.dsk -iti </dev/null 2>&1)
status=$?
if [[ $status -eq 0 && $out == *'Total Disk Size: 256256 Bytes (250.25 kB)'* ]]; then
    pass
else
    fail "packaged xev dummy.dsk -iti: status $status, output:"
    printf '%s\n' "$out"
fi

# --- dpkg installs it, and keeps a user's edits of xev.ini on upgrade -------
conffiles=$(dpkg-deb --info "$deb" conffiles 2>/dev/null)
[[ $conffiles == /usr/bin/xev.ini ]] && pass || fail "conffiles: '$conffiles'"
if command -v dpkg >/dev/null 2>&1; then
    # A private dpkg database and root: the machine's own stay untouched.
    admin=$work/admin
    mkdir -p "$admin/info" "$admin/updates" "$work/inst"
    : >"$admin/status"
    dpkg_private() {
        dpkg --admindir="$admin" --instdir="$work/inst" --force-not-root \
            --force-depends --force-script-chrootless --force-confold "$@" \
            >>"$work/dpkg.log" 2>&1
    }
    if ! dpkg_private -i "$deb"; then
        fail "dpkg -i refuses the package:"
        cat "$work/dpkg.log"
    else
        pass
        printf '; my own types\n' >>"$work/inst/usr/bin/xev.ini"
        if dpkg_private -i "$deb" && [[ $(tail -n 1 "$work/inst/usr/bin/xev.ini") == '; my own types' ]]; then
            pass
        else
            fail "reinstalling the package lost the edits of xev.ini"
        fi
        if dpkg_private -r xev && [[ ! -e $work/inst/usr/bin/xev ]]; then
            pass
        else
            fail "dpkg -r left usr/bin/xev behind"
        fi
    fi
fi

echo "$passes passed, $failures failed"
((failures == 0))
