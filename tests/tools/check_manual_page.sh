#!/usr/bin/env bash
# The manual page of orvel-cli names every command and every long option that
# the program's own --help texts list, so that it cannot fall behind them.
#
#   check_manual_page.sh ORVEL-CLI orvel-cli.1
set -euo pipefail
cli="$1"
page="$(sed 's/\\-/-/g' "$2")"
commands="$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p')"
[ -n "$commands" ] || { echo "check_manual_page: no commands in orvel-cli --help" >&2; exit 1; }
missing=()
for command in $commands; do
  grep -q "^\.B[I]* \"\?$command\b" <<<"$page" || missing+=("command $command")
  for option in $("$cli" "$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    [ "$option" = --help-all ] && continue
    grep -q -- "$option\b" <<<"$page" || missing+=("$command $option")
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'check_manual_page: docs/orvel-cli.1 does not describe: %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "check_manual_page: $(wc -w <<<"$commands") commands and their options described"
