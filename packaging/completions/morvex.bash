# bash completion for morvex                                         -*- shell-script -*-

_morvex() {
    local cur prev words cword
    _init_completion || return

    # Only the first argument chooses a mode; the rest go to the before and after commands.
    if ((cword > 1)); then
        _filedir
        return
    fi
    # One line per mode switch or option.
    local -a modes=(
        /c
        /a
        /o
        /w
        --help
        --version
    )
    # The switches may also be written with "-": offered so once a "-" is typed.
    [[ $cur == -* ]] && modes=("${modes[@]/#\//-}")
    COMPREPLY=($(compgen -W '${modes[@]}' -- "$cur"))
} &&
    complete -F _morvex morvex

# ex: filetype=sh
