#!/usr/bin/env bash
# What only a shell around the real tool shows:
# - the help on standard output, exit code 0, also when the arguments are too few;
# - a launcher write that fails half-way (a file-size limit here, a full disk
#   for a studio) leaves the launcher that was there byte for byte, no partial
#   file beside it, the system's error before the write's own line, and exit 1.
#   check-tool-console.sh <tool> [runner]     (the runner starts Windows programs under Wine)
set -uo pipefail
tool=$1
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"
problems=()

# Asked for, or given too little, the tool prints the help and configures nothing.
for args in --help "" -o "-o out/L -a App -h 1"; do
  # shellcheck disable=SC2086 # an empty runner is no word at all; the arguments are words
  help=$(cd "$work" && $runner "$tool" $args 2>/dev/null | tr -d '\r')
  [ $? -eq 0 ] || problems+=("help for '$args': exit code not 0")
  grep -qxF "  $(basename "$tool") [-h|--help]" <<<"$help" || problems+=("no help for '$args'")
done
[ ! -e "$work/out" ] || problems+=("the help configured a launcher")

mkdir -p "$work/game"
output=Launcher$([ "${tool%.exe}" != "$tool" ] && echo .exe)
seq 1000 >"$work/game/$output"
# 32 KiB: the tool's log fits, the launcher it carries does not. SIGXFSZ is
# ignored, so the write fails with an error instead of killing the tool.
# shellcheck disable=SC2086
console=$(cd "$work/game" && trap '' XFSZ && ulimit -f 32 && $runner "$tool" -o "$output" -a Game 2>&1 | tr -d '\r')
[ $? -eq 1 ] || problems+=("cut-off write: exit code not 1")
seq 1000 | cmp -s - "$work/game/$output" || problems+=("the old launcher was changed")
[ "$(ls -A "$work/game")" = "$output" ] || problems+=("files left: $(ls -A "$work/game" | tr '\n' ' ')")
system_line=$(grep -n -m1 "^Failed to write the new file: " <<<"$console" | cut -d: -f1)
write_line=$(grep -n -m1 -xF "Failed with: Bad=1, Fail=1, FileName:'$output'" <<<"$console" | cut -d: -f1)
[ -n "$system_line" ] && [ -n "$write_line" ] && [ "$system_line" -lt "$write_line" ] ||
  problems+=("no system error line before the write's own (naming the target, never the new file)")
grep -qxF "Failed to extract the Bootstrapper executable into the destination path: '$output'." <<<"$console" ||
  problems+=("no line naming the failed extraction")

if [ "${#problems[@]}" -gt 0 ]; then
  printf 'FAIL: %s\n' "${problems[@]}"
  printf '%s\n' "--- help:" "$help" "--- cut-off write:" "$console"
  exit 1
fi
echo "help on standard output; a cut-off launcher write left the old launcher and nothing else"
