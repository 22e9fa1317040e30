# fish completion for morvex-convert

# Files with the list's suffix, and folders, for a list option's value (also after
# "--footer-list=", which fish puts back in front).
function __morvex_convert_lists -a suffix
    set -l value (commandline -ct | string replace -r -- '^--[a-z-]+=' '')
    # "set" takes a glob that matches nothing; a command would fail on it.
    set -l found $value*$suffix $value*/
    printf '%s\n' $found
end

# One line per option: -s/-l its names, -r for a value (-x: a value that is no file name, with
# -a its fixed words or a list of files), -d what it does.
complete -c morvex-convert -s n -l dry-run -d 'Write nothing; list each insertion'
complete -c morvex-convert -l check -d 'Convert nothing; list problems in the lists'
complete -c morvex-convert -l no-repeat -d 'Draw no entry twice before every entry has been drawn'
complete -c morvex-convert -l undo -d 'Exchange each FILE with its backup'
complete -c morvex-convert -l redraw -d 'Convert each backup again with new draws'
complete -c morvex-convert -l encoding -x -a 'auto sjis utf-8' -d 'The upload files\' encoding'
complete -c morvex-convert -l rule -r -d 'A rule: the upload files it names take the list options after it'
complete -c morvex-convert -l rules -r -d 'Rules from a file'
complete -c morvex-convert -l footer-list -x -a '(__morvex_convert_lists .mfl)' -d 'Footer list pattern'
complete -c morvex-convert -l header-list -x -a '(__morvex_convert_lists .mhl)' -d 'Header list pattern'
complete -c morvex-convert -l footer-marker -x -d 'Footer marker, one byte'
complete -c morvex-convert -l header-marker -x -d 'Header marker, one byte'
complete -c morvex-convert -l backup-ext -x -d 'Backup extension with its dot'
complete -c morvex-convert -l align -x -d 'Align footers to end before this column (0 to 80)'
complete -c morvex-convert -l seed -x -d 'Seed the generator (0 to 4294967295)'
complete -c morvex-convert -s h -l help -d 'Show the help and end'
complete -c morvex-convert -l version -d 'Show the version and end'
