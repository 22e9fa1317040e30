# fish completion for morvex
# Only the first argument chooses a mode; the rest go to the before and after commands.
# One line per mode switch or option; the switches may also be written with "-".
complete -c morvex -f -n __fish_is_first_arg -a /c -d 'Convert the stored source list once and end'
complete -c morvex -f -n __fish_is_first_arg -a /a -d 'Run the before program, convert once, run the after program'
complete -c morvex -f -n __fish_is_first_arg -a /o -d 'Convert each source file again whenever it changes'
complete -c morvex -f -n __fish_is_first_arg -a /w -d 'Run the watched program and convert changed files meanwhile'
complete -c morvex -f -n '__fish_is_first_arg; and string match -q -- "-*" (commandline -ct)' -a '-c -a -o -w'
complete -c morvex -f -n __fish_is_first_arg -l help -d 'Show the help and end'
complete -c morvex -f -n __fish_is_first_arg -l version -d 'Show the version and where the window module and manual are'
