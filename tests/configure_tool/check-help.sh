#!/usr/bin/env bash
# The help text on the console: printed for too few arguments and when asked,
# with exit code 0 and without configuring anything.
#   check-help.sh <tool> [runner]     (the runner starts Windows programs under Wine)
set -uo pipefail
tool=$1
runner=${2:-}
program=$(basename "$tool")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"
failures=0

for arguments in "" "-h" "--HELP" "-h 1"; do
  # shellcheck disable=SC2086 # the arguments are split on purpose
  output=$(cd "$work" && $runner "$tool" $arguments 2>&1 | tr -d '\r')
  status=$?
  problems=()
  [ "$status" -eq 0 ] || problems+=("exit code $status")
  grep -qx "This tool performs the following actions:" <<<"$output" || problems+=("no introduction")
  grep -qx "Usage:" <<<"$output" || problems+=("no usage section")
  grep -qxF "  $program (-o|--output-path <path>)" <<<"$output" || problems+=("no synopsis for the output path")
  grep -qxF "  $program [-h|--help]" <<<"$output" || problems+=("no synopsis for help")
  grep -qx "Options:" <<<"$output" || problems+=("no options section")
  grep -q "^Started " <<<"$output" && problems+=("it started configuring")
  [ -z "$(ls -A "$work" | grep -v '^state$')" ] || problems+=("it wrote files")
  if [ "${#problems[@]}" -gt 0 ]; then
    echo "FAIL for arguments '$arguments': ${problems[*]}"
    echo "$output"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "help printed for no arguments, -h, --HELP and -h 1"
exit "$failures"
