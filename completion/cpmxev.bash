# bash completion for cpmxev, the CP/M disk image manager   -*- shell-script -*-
# (installed as cpmxev on POSIX systems; xev in a build tree)
#
# Completes, after `cpmxev`:
#   - the first argument: image files whose extension is an image type of the
#     definition files (the user's xev/xev.ini, and cpmxev.ini and
#     cpmxev-formats.ini beside the program that will run), folders, and
#     --help and --version;
#   - later arguments: the options, and the values of the option before:
#     image types after -it,
#     host paths after -a, -w, -s and -x, images of the same type after -i,
#     the CP/M names of the image after -c, -e, -t, -h, -sa, -su and -x
#     (read from `PROGRAM IMAGE -c1 -cu -c`), attributes after -sa NAME, and
#     user areas after -u and -su NAME.
#
# The program consulted is the command word itself when it holds a slash,
# else the one found on PATH, else $XEV_COMPLETION_PROGRAM, else the cpmxev
# installed in the same prefix as this script
# (PREFIX/share/bash-completion/completions).

_xev_installed_program=
case ${BASH_SOURCE[0]-} in
    */share/bash-completion/completions/*)
        _xev_installed_program=${BASH_SOURCE[0]%/share/bash-completion/completions/*}/bin/cpmxev
        ;;
esac

# Options in the order of the usage text.
_xev_options='-c -f -q -a -afn -ow -e -x -sa -su -h -t -w -i -s -iide -iti -tns -lbl -u -cp -c1 -cu -cd
-it -cj -txt -nb'

# How many of the following words an option takes as its values. -c takes
# the next word as its mask whatever it is, so it counts as one.
_xev_arity() {
    case $1 in
        -u | -cp | -c | -a | -afn | -e | -x | -h | -t | -w | -i | -s | -lbl | -it) _xev_n=1 ;;
        -sa | -su) _xev_n=2 ;;
        *) _xev_n=0 ;;
    esac
}

# Removes the shell quoting of a partly typed word: an opening quote (with
# its closing one, if typed) or backslash escapes; expands a leading ~/.
_xev_dequote() {
    local w=$1 out= i c
    case $w in
        \'*) w=${w#\'}; out=${w%\'} ;;
        \"*) w=${w#\"}; out=${w%\"} ;;
        *)
            for ((i = 0; i < ${#w}; i++)); do
                c=${w:i:1}
                if [[ $c == \\ ]]; then
                    ((i++))
                    c=${w:i:1}
                fi
                out+=$c
            done
            ;;
    esac
    [[ $out == \~/* ]] && out=$HOME/${out#\~/}
    _xev_word=$out
}

# Finds the program that the command line will run. Sets _xev_run (the
# command to run it with) and _xev_ini (its definition file; its named formats
# lie beside it, named <program>-formats.ini). The program looks for the files
# named after argv[0] in the folder of argv[0] when that has one, else in the
# folder where the executable really lies; the two cases are mirrored here.
_xev_locate() {
    local word path
    _xev_run= _xev_ini=
    _xev_dequote "$1"
    word=$_xev_word
    if [[ $word == */* ]]; then
        [[ -f $word && -x $word ]] || return 1
        _xev_run=$word
        path=$word
    elif path=$(type -P -- "$word") && [[ -n $path ]]; then
        _xev_run=$word
        path=$(readlink -f -- "$path" 2>/dev/null) || path=$(type -P -- "$word")
    elif [[ -n ${XEV_COMPLETION_PROGRAM-} && -x $XEV_COMPLETION_PROGRAM ]]; then
        _xev_run=$XEV_COMPLETION_PROGRAM
        path=$XEV_COMPLETION_PROGRAM
    elif [[ -n $_xev_installed_program && -x $_xev_installed_program ]]; then
        _xev_run=$_xev_installed_program
        path=$_xev_installed_program
    else
        return 1
    fi
    # The folder is where the program lies; the name, the one it is run by.
    local name=${_xev_run##*/}
    [[ $path == */* ]] || path=./$path
    _xev_ini=${path%/*}/${name%.*}.ini
}

# Prints the image types (section names, lower case) of a definition file.
# A header is a trimmed line that starts with [ and whose first ] ends it.
_xev_image_types() {
    local line
    [[ -r $1 ]] || return 1
    while IFS= read -r line || [[ -n $line ]]; do
        line=${line#"${line%%[![:space:]]*}"}
        line=${line%"${line##*[![:space:]]}"}
        [[ $line == \[*\] ]] || continue
        line=${line:1:${#line}-2}
        [[ -z $line || $line == *\]* ]] && continue
        printf '%s\n' "${line,,}"
    done <"$1"
}

# Prints the image types of all three definition files.
_xev_all_types() {
    local config=${XDG_CONFIG_HOME-}
    [[ $config == /* ]] || config=${HOME-}/.config
    _xev_image_types "$config/xev/xev.ini"
    [[ -n $_xev_ini ]] || return 0
    _xev_image_types "$_xev_ini"
    _xev_image_types "${_xev_ini%.ini}-formats.ini"
}

# Prints the CP/M names of an image, one per line, each once: the names
# listed by the catalogue that can also be typed as an argument.
# Arguments: image path, user area (may be empty), "-iide" or empty, image
# type of -it (may be empty).
_xev_cpm_names() {
    local image=$1 line name in_list=0
    local -a args=("$image" -c1 -cu)
    [[ -n $2 ]] && args+=(-u "$2")
    [[ -n $3 ]] && args+=(-iide)
    [[ -n ${4-} ]] && args+=(-it "$4")
    args+=(-c)
    [[ -n $_xev_run && -f $image ]] || return 1
    local -A seen=()
    # Line format: "%2d %-12s  %4d %4dK  %c%c", the list ending at the empty
    # line before the totals.
    local re='^ *[0-9]+ (.{12})  +[0-9]+ +[0-9]+K  [R-][S-]$'
    while IFS= read -r line; do
        if ((!in_list)); then
            [[ $line == -------------------------------* ]] && in_list=1
            continue
        fi
        [[ -z $line ]] && break
        [[ $line =~ $re ]] || continue
        name=${BASH_REMATCH[1]}
        name=${name%"${name##*[! ]}"}
        # Names that the tool would refuse on its command line.
        [[ -z $name || $name == ' '* || $name == *[\<\>,\;:=\[\]%\|\(\)/\\\"\?\*]* ]] && continue
        [[ $name == *.*.* ]] && continue
        [[ -n ${seen[$name]-} ]] && continue
        seen[$name]=1
        printf '%s\n' "$name"
    done < <(LC_ALL=C command "$_xev_run" "${args[@]}" </dev/null 2>/dev/null)
}

# Appends CP/M name $2 to COMPREPLY, quoted for the word $1 as typed so far.
# Quoting is done here rather than by readline, which leaves a word that
# starts with $ as it is ($$$.SUB is a common CP/M name).
_xev_offer_name() {
    local q
    case $1 in
        \'*) [[ $2 == *\'* ]] || COMPREPLY+=("$2") ;;
        \"*)
            q=${2//\$/\\\$}
            COMPREPLY+=("${q//\`/\\\`}")
            ;;
        *)
            printf -v q '%q' "$2"
            COMPREPLY+=("$q")
            ;;
    esac
}

# Fills COMPREPLY with host files and folders that start with $1; with $2,
# only files whose extension is one of the words of $2 (lower case) or, with
# $3 set, equal to $2 exactly.
_xev_host_files() {
    local cur=$1 f base ext
    local -a found
    mapfile -t found < <(compgen -f -- "$cur")
    for f in "${found[@]}"; do
        if [[ -d $f ]]; then
            COMPREPLY+=("$f")
            continue
        fi
        if [[ -n ${2+set} ]]; then
            base=${f##*/}
            [[ $base == *.* ]] || continue
            ext=${base##*.}
            if [[ -n ${3-} ]]; then
                [[ $ext == "$2" ]] || continue
            else
                [[ " $2 " == *" ${ext,,} "* ]] || continue
            fi
        fi
        COMPREPLY+=("$f")
    done
}

_xev() {
    COMPREPLY=()
    local cword=$COMP_CWORD
    local -a words=("${COMP_WORDS[@]}")
    local cur=${words[cword]-}
    _xev_dequote "$cur"
    local cur_dq=$_xev_word

    _xev_locate "${words[0]}"

    # Let readline quote what is offered and append / to folders.
    compopt -o filenames 2>/dev/null

    if ((cword == 1)); then
        if [[ $cur == --* ]]; then
            mapfile -t COMPREPLY < <(compgen -W '--help --version' -- "$cur")
            return 0
        fi
        local -a types=()
        mapfile -t types < <(_xev_all_types | sort -u)
        if ((${#types[@]})); then
            _xev_host_files "$cur_dq" "${types[*]}"
        else
            _xev_host_files "$cur_dq"
        fi
        return 0
    fi

    # Walk the options to see whether the current word is the value of one,
    # and which -u, -iide and -it the command line holds.
    local i=2 opt= pos=0 user= iide= itype= w _xev_n
    while ((i < ${#words[@]})); do
        w=${words[i]}
        _xev_arity "$w"
        if ((i < cword && cword <= i + _xev_n)); then
            opt=$w
            pos=$((cword - i))
        fi
        if [[ $w == -u ]] && ((i + 1 != cword && i + 1 < ${#words[@]})); then
            _xev_dequote "${words[i + 1]}"
            user=$_xev_word
        fi
        [[ $w == -iide && i -ne cword ]] && iide=-iide
        if [[ $w == -it ]] && ((i + 1 != cword && i + 1 < ${#words[@]})); then
            _xev_dequote "${words[i + 1]}"
            itype=$_xev_word
        fi
        ((i += _xev_n + 1))
    done

    _xev_dequote "${words[1]}"
    local image=$_xev_word

    case $opt in
        '')
            compopt +o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -W "$_xev_options" -- "$cur")
            ;;
        -a | -w | -s)
            _xev_host_files "$cur_dq"
            ;;
        -it)
            compopt +o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -W "$(_xev_all_types | sort -u)" -- "${cur_dq,,}")
            ;;
        -i)
            local base=${image##*/}
            if [[ -z $itype && $base == *.* ]]; then
                _xev_host_files "$cur_dq" "${base##*.}" exact
            else
                _xev_host_files "$cur_dq"
            fi
            ;;
        -x)
            # A host folder, then a CP/M name or mask: offer folders and,
            # behind the folder typed so far, the names of the image.
            compopt +o filenames 2>/dev/null
            local dir= part=$cur_dq name
            if [[ $cur_dq == */* ]]; then
                dir=${cur_dq%/*}/
                part=${cur_dq##*/}
            fi
            while IFS= read -r name; do
                _xev_offer_name "$cur" "$name/"
            done < <(compgen -d -- "$cur_dq")
            if [[ $part != *[\*\?]* ]]; then
                while IFS= read -r name; do
                    [[ $name == "${part^^}"* ]] && _xev_offer_name "$cur" "$dir$name"
                done < <(_xev_cpm_names "$image" "$user" "$iide" "$itype")
            fi
            # A folder is completed without a blank behind it.
            ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == */ ]] &&
                compopt -o nospace 2>/dev/null
            ;;
        -c | -e | -t | -h | -sa | -su)
            if ((pos == 2)); then
                compopt +o filenames 2>/dev/null
                if [[ $opt == -sa ]]; then
                    mapfile -t COMPREPLY < <(compgen -W '-- R- -S RS' -- "$cur")
                else
                    mapfile -t COMPREPLY < <(compgen -W "$(echo {0..31})" -- "$cur")
                fi
                return 0
            fi
            compopt +o filenames 2>/dev/null
            [[ $cur_dq == *[\*\?]* ]] && return 0
            local name
            while IFS= read -r name; do
                [[ $name == "${cur_dq^^}"* ]] && _xev_offer_name "$cur" "$name"
            done < <(_xev_cpm_names "$image" "$user" "$iide" "$itype")
            ;;
        -u)
            compopt +o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -W "$(echo {0..31})" -- "$cur")
            ;;
        *)
            # -cp, -lbl and -afn take free text.
            compopt +o filenames 2>/dev/null
            ;;
    esac
    return 0
}

complete -F _xev cpmxev
