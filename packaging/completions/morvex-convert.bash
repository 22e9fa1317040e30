# bash completion for morvex-convert                                 -*- shell-script -*-

_morvex_convert() {
    local cur prev words cword split
    _init_completion -s || return

    # One line per option: its names, a colon, then what its value is: nothing for none,
    # "file EXT" (files ending in .EXT, and folders), "text" (anything: nothing is offered) or
    # "one WORD..." (one of these words).
    local -a table=(
        "-n --dry-run     :"
        "--check          :"
        "--no-repeat      :"
        "--undo           :"
        "--redraw         :"
        "--encoding       : one auto sjis utf-8"
        "--rule           : file up"
        "--rules          : file"
        "--footer-list    : file mfl"
        "--header-list    : file mhl"
        "--footer-marker  : text"
        "--header-marker  : text"
        "--backup-ext     : text"
        "--align          : text"
        "--seed           : text"
        "-h --help        :"
        "--version        :"
    )

    local line name all=() value=()
    for line in "${table[@]}"; do
        for name in ${line%%:*}; do
            all+=("$name")
            [[ $name == "$prev" ]] && read -r -a value <<<"${line#*:}"
        done
    done
    case ${value[0]-} in
    file)
        _filedir ${value[1]:+"${value[1]}"}
        return
        ;;
    one)
        COMPREPLY=($(compgen -W "${value[*]:1}" -- "$cur"))
        return
        ;;
    text) return ;;
    esac
    $split && return

    # After "--" every word is a SOURCE.
    local i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            _filedir
            return
        fi
    done
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '${all[@]} --' -- "$cur"))
        return
    fi
    _filedir
} &&
    complete -F _morvex_convert morvex-convert

# ex: filetype=sh
