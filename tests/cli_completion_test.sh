#!/usr/bin/env bash
# Checks the shell completions of tracksieve-cli against the program's own --help: every
# subcommand and option the help lists is offered in its place, an option that takes a value
# is followed by that value rather than by more options, and the positional arguments complete
# to folders or WAV files. Bash and fish are asked for their completions; zsh's file is read.
# Usage: cli_completion_test.sh TRACKSIEVE_CLI BASH_FILE ZSH_FILE FISH_FILE
set -uo pipefail

cli=$(realpath "$1") bash_file=$(realpath "$2") zsh_file=$(realpath "$3") fish_file=$(realpath "$4")
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The help of `tracksieve-cli [COMMAND]`, asked once per command (see below).
declare -A help_texts
help_text() { printf '%s\n' "${help_texts[_$1]}"; }
# Lines of a section ("Options:", "Subcommands:") of the help of COMMAND.
help_section() {
  help_text "$1" | awk -v section="$2" '$0 == section {inside = 1; next} /^[^ ]/ {inside = 0} inside && NF'
}
help_options() { help_section "$1" Options: | awk '$1 ~ /^-/ {gsub(",", "\n", $1); print $1}'; }
# "OPTION VALUE" for each option shown with a value name after it ("-o,--output PATH").
help_value_options() {
  help_section "$1" Options: | awk '$1 ~ /^-/ && $2 ~ /^[A-Z]/ {n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i], $2}'
}
help_subcommands() { help_section "" Subcommands: | awk '{print $1}'; }

# Words of $2 (one a line) missing from $3; $1 names the place for the message.
expect_offered() {
  local missing
  missing=$(comm -23 <(sort -u <<<"$2") <(sort -u <<<"$3"))
  [ -z "$missing" ] || fail "$1 does not offer: $(tr '\n' ' ' <<<"$missing")"
}

# What bash completes for the words given, the last being the one under the cursor.
bash_offers() {
  (
    source "$bash_file"
    COMP_WORDS=(tracksieve-cli "$@")
    COMP_CWORD=$#
    _tracksieve_cli
    printf '%s\n' "${COMPREPLY[@]}"
  ) | sort
}

fish_offers() {
  HOME=$work/home fish --no-config -c "source '$fish_file'; complete -C '$*'" | cut -f1 | sort
}

# Option names in the zsh file, in the branch of COMMAND or (empty) before the first branch.
zsh_options() {
  awk -v command="$1" '
    command == "" && /case \$state/ {exit}
    command != "" && $0 ~ "^ +" command "\\)$" {inside = 1; next}
    command != "" && inside && /;;/ {exit}
    command == "" || inside' "$zsh_file" |
    sed -e 's/\[[^]]*\]//g' -e 's/([^)]*)//g' | grep -oE "(^|[{,' ])--?[a-z][a-z-]*" | tr -d "{,' " | sort -u
}

help_texts[_]=$("$cli" --help)
subcommands=$(help_subcommands)
for command in $subcommands; do
  help_texts[_$command]=$("$cli" "$command" --help)
done
[ -n "$subcommands" ] || fail "the help lists no subcommands"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/takes/Day 2"
cd "$work/takes" || exit 1
touch A001.WAV b002.wav notes.txt

expect_offered "bash at the start" "$subcommands" "$(bash_offers '')"
expect_offered "bash's options at the start" "$(help_options '')" "$(bash_offers -)"
expect_offered "zsh at the start" "$(help_options '')" "$(zsh_options '')"
expect_offered "fish at the start" "$subcommands" "$(fish_offers tracksieve-cli '')"
expect_offered "fish's options at the start" "$(help_options '')" "$(fish_offers tracksieve-cli -)"

for command in $subcommands; do
  options=$(help_options "$command")
  expect_offered "bash after $command" "$options" "$(bash_offers "$command" -)"
  expect_offered "zsh after $command" "$options" "$(zsh_options "$command")"
  expect_offered "fish after $command" "$options" "$(fish_offers tracksieve-cli "$command" -)"
  while read -r option value; do
    offered=$(bash_offers "$command" "$option" '')
    if grep -qxE -- "-.*|$(paste -sd'|' <<<"$subcommands")" <<<"$offered"; then
      fail "bash offers options or subcommands as the value of $command $option"
    fi
    case $value in
      PATH | FILE) grep -qx A001.WAV <<<"$offered" || fail "bash offers no file as the value of $command $option" ;;
      DIR) [ "$offered" = "Day 2" ] || fail "bash offers more or less than the folders as the value of $command $option" ;;
      DB | LIST | FLOAT | INT | NUMBER) [ -z "$offered" ] || fail "bash offers words as the value of $command $option $value" ;;
    esac
  done < <(help_value_options "$command")
done

[ "$(bash_offers scan '')" = "Day 2" ] || fail "bash does not complete scan's folder to the folders alone"
[ "$(bash_offers slim '')" = "$(printf '%s\n' A001.WAV "Day 2" b002.wav | sort)" ] ||
  fail "bash does not complete slim's files to the WAV files and the folders"
zsh -n "$zsh_file" || fail "the zsh completion does not parse"

if [ "$failures" -gt 0 ]; then
  echo "$failures completion check(s) failed; update cli/completions/ to match the help"
  exit 1
fi
echo "The completions offer every subcommand and option of the help."
