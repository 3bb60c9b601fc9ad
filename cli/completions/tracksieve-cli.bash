# bash completion for tracksieve-cli

# Folders, and the files among them whose names end in .wav in any case.
_tracksieve_cli_wav_files() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X '!*.[wW][aA][vV]' -- "$1"))
}

_tracksieve_cli_folders() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -d -- "$1"))
}

_tracksieve_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local command='' word
  for word in "${COMP_WORDS[@]:1:COMP_CWORD - 1}"; do
    case $word in
      scan | slim | split) command=$word && break ;;
    esac
  done

  # Options followed by a value: a path has files or folders to offer.
  case $command:$prev in
    slim:-o | slim:--output)
      _tracksieve_cli_wav_files "$cur"
      return
      ;;
    split:-o | split:--output)
      _tracksieve_cli_folders "$cur"
      return
      ;;
    *:--threshold | *:--keep | *:--remove)
      # A level in dBFS or a list of tracks: nothing to offer.
      COMPREPLY=()
      return
      ;;
  esac

  local options
  case $command in
    scan) options='-h --help -r --recursive --json --csv --threshold' ;;
    slim) options='-h --help --overwrite -o --output --threshold --keep --remove --same-tracks' ;;
    split) options='-h --help -o --output --threshold --keep --remove' ;;
    *) options='-h --help --version' ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    scan) _tracksieve_cli_folders "$cur" ;;
    slim | split) _tracksieve_cli_wav_files "$cur" ;;
    *) COMPREPLY=($(compgen -W 'scan slim split' -- "$cur")) ;;
  esac
}

complete -F _tracksieve_cli tracksieve-cli
