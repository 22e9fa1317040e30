# What zsh completion offers for a command line, one word per line:
#   zsh -f complete.zsh COMPLETION-DIR 'LINE'       (the cursor is at the end of LINE)
# An empty COMPLETION-DIR leaves zsh's own search path alone.
# An interactive zsh on a pseudo-terminal gets LINE and a TAB; every word the completion
# functions add is printed with a marker, and the shell ends after the first completion.
zmodload zsh/zpty || exit 3
home=$(mktemp -d) || exit 3
trap 'rm -rf $home' EXIT
[[ -n $1 ]] && print -r -- "fpath=(${(q)1} \$fpath)" >$home/.zshrc
cat >>$home/.zshrc <<RC
autoload -Uz compinit && compinit -u -d $home/.zcompdump
zstyle ':completion:*' insert-tab false
compadd() {
  local arg hit
  # Calls that only collect or filter words (-O, -A, -D) show nothing.
  for arg in "\$@"; do
    [[ \$arg == (-|--) ]] && break
    [[ \$arg == -[OAD]* ]] && { builtin compadd "\$@"; return }
  done
  local -a hits
  builtin compadd -A hits "\$@"
  for hit in \$hits; do print -r -- "<match>\$hit"; done
  builtin compadd "\$@"
}
finished() { print -r -- "<done>"; exit }
comppostfuncs=(finished)
bindkey '^I' complete-word
RC
zpty z "ZDOTDIR=${(q)home} zsh -i" || exit 3
zpty -w -n z "$2"$'\t'
while zpty -r z line; do
  line=${line//[$'\r\n']/}
  [[ $line == *'<done>'* ]] && break
  [[ $line == *'<match>'* ]] && print -r -- ${line#*<match>}
done
zpty -d z
