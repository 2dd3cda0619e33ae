#!/usr/bin/env bash
# Drives the bash completion of xev the way readline does (COMP_WORDS,
# COMP_CWORD, then the completion function) and checks COMPREPLY.
#
#   completion_test.sh COMPLETION_SCRIPT [XEV_BINARY]
#
# The cases run against a stub xev that prints a fixed catalogue; with
# XEV_BINARY and cpmtools present, a last group runs against the real binary
# on an image that cpmtools filled.
set -u

script=$1
real_xev=${2-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The stub logs beside, not inside, the folder whose files are completed.
mkdir "$work/cwd" && cd "$work/cwd" || exit 1

failures=0
passes=0

# Completion scripts run inside the user's shell; keep ours honest about
# variables it never set.
source "$script" || { echo "cannot source $script"; exit 1; }

# Some cases take PATH away; the checks themselves still need sort.
sort=$(type -P sort)

# check_at NAME EXPECTED CWORD WORD... : completes word CWORD of the line;
# EXPECTED is the sorted list of offers, blank-separated.
check_at() {
    local name=$1 expected=$2
    COMP_CWORD=$3
    shift 3
    COMP_WORDS=("$@")
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _xev "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    local -a sorted=()
    ((${#COMPREPLY[@]})) && mapfile -t sorted < <(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C "$sort")
    got="${sorted[*]}"
    if [[ $got == "$expected" ]]; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  words:    %s (completing word %d)\n  expected: [%s]\n  got:      [%s]\n' \
            "$name" "$*" "$COMP_CWORD" "$expected" "$got"
    fi
}

# check NAME EXPECTED WORD... : completes the last word.
check() {
    local name=$1 expected=$2
    shift 2
    check_at "$name" "$expected" $(($# - 1)) "$@"
}

# check_log NAME EXPECTED: the arguments the stub saw on its last run.
check_log() {
    local got
    got=$(cat "$work/stub.log" 2>/dev/null)
    if [[ $got == "$2" ]]; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  expected stub arguments: [%s]\n  got: [%s]\n' "$1" "$2" "$got"
    fi
    rm -f "$work/stub.log"
}

# --- the stub xev on PATH, with its definition file -------------------------
mkdir -p stub
cat >stub/xev <<EOF
#!/usr/bin/env bash
printf '%s\n' "\$*" >"$work/stub.log"
EOF
cat >>stub/xev <<'EOF'
printf '\nXEV CP/M Disk Image Manager v2.4\n(c) 2026 The xev Authors\n\n'
printf "Catalogue of '%s', mask: '*.*'\n" "$1"
printf '\n U Name          RECS  SIZE  RS\n'
printf -- '-------------------------------\n'
line() { printf '%2d %-12s  %4d %4dK  %c%c\n' "$@"; }
line 0 STAT.COM 41 6 R -
line 0 PIP.COM 58 8 - -
line 1 STAT.COM 41 6 - -
line 0 STAT.TXT 3 1 - S
line 2 '$$$.SUB' 1 1 - -
line 0 'A<B.COM' 1 1 - -
line 0 NOTYPE 0 0 - -
line 0 ABCDEFGH.COM 2 1 - -
line 3 BIG.DAT 12345 1544 - -
line 0 'A.B C' 1 1 - -
printf '\n1577K in 10 file(s), 100K free\n50 directory entries free\n\n'
printf 'PHANTOM.COM is not a file line\n'
EOF
chmod +x stub/xev
cat >stub/xev.ini <<'EOF'
; image types of the stub
  [dsk]
SPT=26
[IMG]  
[ bad ]
[x]y]
[end] ; not a header
EOF

mkdir -p sub out
touch a.dsk b.DSK c.img notes.txt x.dsk2 sub/d.dsk sub/e.txt "sp ace.dsk"
PATH=$work/cwd/stub:$PATH

# As offered: quoted for the shell.
all_names='A.B\ C ABCDEFGH.COM BIG.DAT NOTYPE PIP.COM STAT.COM STAT.TXT \$\$\$.SUB'
all_options='-a -afn -c -c1 -cp -cu -e -f -h -i -iide -iti -lbl -ow -q -s -sa -su -t -tns -u -w -x'

# --- first argument: images of the types in xev.ini, and folders ----------
check 'image: all types'        'a.dsk b.DSK c.img out sp ace.dsk stub sub' xev ''
check 'image: prefix'           'a.dsk'                                     xev a
check 'image: in a folder'      'sub/d.dsk'                                 xev sub/
check 'image: quoted'           'sp ace.dsk'                                xev "'sp"
check 'image: escaped blank'    'sp ace.dsk'                                xev 'sp\ '
check 'image: no offer'         ''                                          xev notes

# --- options ---------------------------------------------------------------
check 'options: all'            "$all_options"                              xev a.dsk -
check 'options: prefix'         '-c -c1 -cp -cu'                            xev a.dsk -c
check 'options: after values'   '-t -tns'                                   xev a.dsk -u 3 -sa X RS -t
check 'options: after image'    "$all_options"                              xev a.dsk ''

# --- CP/M names from the catalogue ------------------------------------------
check 'names: -e all'           "$all_names"                                xev a.dsk -e ''
check_log 'names: catalogue call' 'a.dsk -c1 -cu -c'
check 'names: lower case typed' 'STAT.COM STAT.TXT'                         xev a.dsk -e st
check 'names: -t'               'PIP.COM'                                   xev a.dsk -t P
check 'names: -h'               'BIG.DAT'                                   xev a.dsk -h B
check 'names: -c value'         'NOTYPE'                                    xev a.dsk -c N
check 'names: -c then option'   ''                                          xev a.dsk -c -c1
check 'names: -sa first'        'ABCDEFGH.COM'                              xev a.dsk -sa AB
check 'names: -su first'        '\$\$\$.SUB'                             xev a.dsk -su '$'
check 'names: in single quotes' '$$$.SUB'                                   xev a.dsk -e "'$"
check 'names: in double quotes' '\$\$\$.SUB'                             xev a.dsk -e '"$'
check 'names: blank in type'    'A.B\ C'                                    xev a.dsk -e A.
check 'names: wildcard typed'   ''                                          xev a.dsk -e 'S*'
check 'names: -u passed'        'PIP.COM'                                   xev a.dsk -u 2 -t PI
check_log 'names: -u to catalogue' 'a.dsk -c1 -cu -u 2 -c'
check_at 'names: -u after cursor' 'PIP.COM'                     3            xev a.dsk -t PI -u 4
check_log 'names: -u after cursor to catalogue' 'a.dsk -c1 -cu -u 4 -c'
check_at 'options: mid-line'    '-t -tns'                       2            xev a.dsk -t PI
check 'names: -iide passed'     'PIP.COM'                                   xev a.dsk -iide -e PI
check_log 'names: -iide to catalogue' 'a.dsk -c1 -cu -iide -c'
check 'names: quoted image'     'PIP.COM'                                   xev '"a.dsk"' -e PI
rm -f "$work/stub.log"
check 'names: missing image'    ''                                          xev nope.dsk -e ''
check_log 'names: no run for a missing image' ''

# --- values that are not names ---------------------------------------------
check 'attrs'                   '-- -S R- RS'                               xev a.dsk -sa STAT.COM ''
check 'req_usr'                 '3 30 31'                                   xev a.dsk -su STAT.COM 3
check '-u value'                '1 10 11 12 13 14 15 16 17 18 19'           xev a.dsk -u 1
check '-cp free'                ''                                          xev a.dsk -cp ''
check '-lbl free'               ''                                          xev a.dsk -f -tns -lbl ''
check '-afn free'               ''                                          xev a.dsk -a notes.txt -afn ''

# --- host paths ------------------------------------------------------------
check '-a host files'           'notes.txt'                                 xev a.dsk -a n
check '-w host files'           'sub/d.dsk sub/e.txt'                       xev a.dsk -w sub/
check '-s host files'           'c.img'                                     xev a.dsk -s c
check '-i same type only'       'a.dsk out sp ace.dsk stub sub'                        xev a.dsk -i ''
check '-i letter case counts'   'b.DSK out stub sub'                        xev b.DSK -i ''
check '-x folder and names'     'STAT.COM STAT.TXT stub/ sub/'              xev a.dsk -x s
check '-x folder only'          'out/'                                      xev a.dsk -x ou
check '-x names in a folder'    'out/PIP.COM'                               xev a.dsk -x out/p

# --- which xev and which xev.ini ----------------------------------------
# A command word with a slash is run as typed; its xev.ini lies beside it.
mkdir -p other
cp stub/xev other/xev
printf '[img]\n' >other/xev.ini
check 'ini beside a typed path' 'c.img other out stub sub'                  ./other/xev ''
check 'typed path runs'         'PIP.COM'                                   ./other/xev a.dsk -e PI
# An xev reached through a link on PATH reads the xev.ini beside the target.
mkdir -p linked
ln -s "$work/cwd/other/xev" linked/xev
saved_path=$PATH
PATH=$work/cwd/linked:$saved_path
check 'ini beside the link target' 'c.img linked other out stub sub'       xev ''
# No xev anywhere: every file is offered, and no catalogue is tried.
PATH=/nonexistent
saved_installed=$_xev_installed_program
_xev_installed_program=
check 'no xev: all files' 'a.dsk b.DSK c.img linked notes.txt other out sp ace.dsk stub sub x.dsk2' xev ''
check 'no xev: no names'  ''                                                xev a.dsk -e ''
XEV_COMPLETION_PROGRAM=$work/cwd/other/xev
check 'configured xev'    'c.img linked other out stub sub'                 xev ''
unset XEV_COMPLETION_PROGRAM
# The xev installed beside the completion script: PREFIX/bin/xev.
_xev_installed_program=$work/cwd/other/xev
check 'installed xev'     'c.img linked other out stub sub'                 xev ''
_xev_installed_program=$saved_installed
PATH=$saved_path

# --- the real binary on an image filled by cpmtools ------------------------
if [[ -n $real_xev ]] && command -v cpmcp >/dev/null 2>&1; then
    mkdir -p real
    cp "$real_xev" real/xev
    cp "$(dirname "$real_xev")/xev.ini" real/xev.ini
    if ! real/xev real.dsk -f >/dev/null 2>&1; then
        failures=$((failures + 1))
        echo "FAIL real: xev real.dsk -f"
    else
        printf 'x\n' >host.txt
        for target in 0:STAT.COM 0:PIP.COM 3:STAT.COM 0:README 5:Z.TXT; do
            cpmcp -f ibm-3740 real.dsk host.txt "$target"
        done
        check 'real: all names'    'PIP.COM README STAT.COM Z.TXT'  ./real/xev real.dsk -e ''
        check 'real: user 3'       'STAT.COM'                      ./real/xev real.dsk -u 3 -e ''
        check 'real: prefix'       'PIP.COM'                       ./real/xev real.dsk -t p
        check 'real: -x prefix'    'README real/'                  ./real/xev real.dsk -x r
    fi
else
    echo "real binary cases skipped (no binary or no cpmcp)"
fi

echo "$passes passed, $failures failed"
((failures == 0))
