#!/usr/bin/env bash
# Checks the manual page: mandoc finds nothing to complain about, every option
# of the usage text has its own entry, every exit code is listed with the
# message the program prints for it, and the text rendering for systems
# without man comes out clean.
#
#   manual_test.sh SOURCE_DIR XEV_BINARY CMAKE
#
# Exits 77 (skipped) when mandoc is missing.
set -u
src=$1
xev=$2
cmake=$3
page=$src/doc/xev.1

if ! command -v mandoc >/dev/null 2>&1; then
    echo "mandoc not installed: skipped"
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

# --- lint: style messages included ------------------------------------------
lint=$(mandoc -Tlint "$page" 2>&1)
if [[ $? -ne 0 || -n $lint ]]; then
    fail "mandoc -Tlint reports:"
    printf '%s\n' "$lint"
else
    pass
fi

# The page as a reader sees it, overstriking removed.
text=$(mandoc -Tascii "$page" | sed 's/.\x08//g')

# --- every option of the usage text has an entry of its own -----------------
usage=$("$xev" </dev/null 2>&1)
mapfile -t options < <(printf '%s\n' "$usage" | grep -oE '^  -[a-z0-9]+' | sed 's/^  //' | sort -u)
if ((${#options[@]} < 20)); then
    fail "usage text lists only ${#options[@]} options: ${options[*]}"
fi
for option in "${options[@]}"; do
    # A tagged paragraph starts at column 7 with the option.
    if grep -qE "^       ${option}( |$)" <<<"$text"; then
        pass
    else
        fail "option $option has no entry in the manual"
    fi
done

# --- every exit code with its message -----------------------------------------
# The codes and message formats as the program has them.
declare -A code_of=()
while read -r name value; do
    code_of[$name]=${value#-}
done < <(sed -nE 's/^constexpr ErrorCode (ERR_[A-Z_]+) = (-[0-9]+);.*/\1 \2/p' "$src/src/cli/errors.h")
count=0
while IFS=$'\t' read -r name format; do
    code=${code_of[$name]-}
    [[ -z $code ]] && { fail "no code for $name"; continue; }
    count=$((count + 1))
    # The format as a pattern: placeholders match the manual's stand-ins.
    pattern=$(printf '%s' "$format" | sed -e 's/[][\.*^$?+(){}|/]/\\&/g' -e 's/%l\?[sd]/[a-z ]+/g')
    if grep -qE "^ +${code} +${pattern}\$" <<<"$text"; then
        pass
    else
        fail "exit code $code ($name): no line \"$format\" in EXIT STATUS"
    fi
done < <(sed -nE 's/^ *\{(ERR_[A-Z_]+), "(.*)"\},$/\1\t\2/p' "$src/src/cli/errors.cpp")
if ((count != 33)); then
    fail "found $count messages in errors.cpp, expected 33"
fi

# --- the plain-text rendering of the Windows zip ------------------------------
if "$cmake" -DMANDOC="$(command -v mandoc)" -DINPUT="$page" -DOUTPUT="$work/xev.txt" \
    -DLINE_END=CRLF -P "$src/scripts/man_to_text.cmake"; then
    if LC_ALL=C grep -q $'\x08' "$work/xev.txt"; then
        fail "xev.txt still holds overstrikes"
    elif [[ $(tr -d '\r' <"$work/xev.txt") != "$text" ]]; then
        fail "xev.txt differs from the rendered page"
    elif [[ $(grep -c $'\r$' "$work/xev.txt") -ne $(wc -l <"$work/xev.txt") ]]; then
        fail "xev.txt has lines without CRLF"
    else
        pass
    fi
else
    fail "man_to_text.cmake failed"
fi

echo "$passes passed, $failures failed"
((failures == 0))
