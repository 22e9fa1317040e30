# What bash completion offers for a command line, one word per line:
#   bash complete.bash COMPLETION-FILE 'LINE'       (the cursor is at the end of LINE)
# Words are split at blanks and around "=", as readline splits them.
source /usr/share/bash-completion/bash_completion || exit 3
source "$1" || exit 3
COMP_LINE=$2
COMP_POINT=${#COMP_LINE}
read -r -a COMP_WORDS <<<"${COMP_LINE//=/ = }"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
registered=$(complete -p "${COMP_WORDS[0]}") || exit 3
function=${registered##*-F }
function=${function%% *}
COMPREPLY=()
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
