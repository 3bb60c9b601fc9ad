# fish completion for tracksieve-cli

complete -c tracksieve-cli -f

complete -c tracksieve-cli -n __fish_use_subcommand -s h -l help -d 'Print help and exit'
complete -c tracksieve-cli -n __fish_use_subcommand -l version -d 'Print the version and exit'
complete -c tracksieve-cli -n __fish_use_subcommand -a scan -d 'List the polyphonic WAV files in a folder and their silent tracks'
complete -c tracksieve-cli -n __fish_use_subcommand -a slim -d 'Write each file again without its empty tracks'
complete -c tracksieve-cli -n __fish_use_subcommand -a split -d 'Write one mono file per kept track'

complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -s h -l help -d 'Print help and exit'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -s r -l recursive -d 'Include subfolders'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -l json -d 'Print the results as one JSON object'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -l csv -d 'Print one row per track as CSV'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -l threshold -x -d 'Count a track as empty below this level in dBFS'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from scan' -a '(__fish_complete_directories)'

complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -s h -l help -d 'Print help and exit'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -l overwrite -d 'Replace each file itself'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -s o -l output -r -F -d 'Write the result to this path'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -l threshold -x -d 'Count a track as empty below this level in dBFS'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -l keep -x -d 'Keep these tracks even when silent'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -l remove -x -d 'Remove these tracks even when they sound'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -l same-tracks -d 'Takes with the same tracks keep the same ones'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from slim' -F

complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -s h -l help -d 'Print help and exit'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -s o -l output -x -a '(__fish_complete_directories)' -d 'Write the files into this folder'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -l threshold -x -d 'Count a track as empty below this level in dBFS'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -l keep -x -d 'Keep these tracks even when silent'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -l remove -x -d 'Remove these tracks even when they sound'
complete -c tracksieve-cli -n '__fish_seen_subcommand_from split' -F
