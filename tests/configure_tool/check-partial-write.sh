#!/usr/bin/env bash
# A launcher write that fails half-way (a file-size limit here, a full disk for
# a studio) leaves the launcher that was there byte for byte, no partial file
# beside it, and a failed run.
#   check-partial-write.sh <tool> [runner]     (the runner starts Windows programs under Wine)
set -uo pipefail
tool=$1
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"
mkdir -p "$work/game"
case "$tool" in
  *.exe) output=Launcher.exe ;;
  *) output=Launcher ;;
esac
for _ in $(seq 100); do echo "the launcher that was here"; done >"$work/game/$output"
cp "$work/game/$output" "$work/expected"

# 32 KiB: the tool's log fits, the launcher it carries does not. SIGXFSZ is
# ignored, so the write fails with an error instead of killing the tool.
# shellcheck disable=SC2086 # an empty runner is no word at all
console=$(cd "$work/game" && trap '' XFSZ && ulimit -f 32 && $runner "$tool" -o "$output" -a Game 2>&1 | tr -d '\r')
status=$?

problems=()
[ "$status" -eq 1 ] || problems+=("exit code $status, not 1")
cmp -s "$work/expected" "$work/game/$output" || problems+=("the old launcher was changed")
left=$(ls -A "$work/game")
[ "$left" = "$output" ] || problems+=("files left: $(echo $left)")
# The system's own error comes first, then the file write's line with the
# target's name (never the new file's), then the sequence's.
system_line=$(grep -n -m1 "^Failed to write the new file: " <<<"$console" | cut -d: -f1)
write_line=$(grep -n -m1 -xF "Failed with: Bad=1, Fail=1, FileName:'$output'" <<<"$console" | cut -d: -f1)
grep -qxF "Failed to extract the Bootstrapper executable into the destination path: '$output'." <<<"$console" ||
  problems+=("no failure of the sequence")
if [ -z "$system_line" ] || [ -z "$write_line" ] || [ "$system_line" -ge "$write_line" ]; then
  problems+=("no system error line before the write's own")
fi
if [ "${#problems[@]}" -gt 0 ]; then
  echo "FAIL: ${problems[*]}"
  echo "$console"
  exit 1
fi
echo "a launcher write cut off by a file-size limit left the old launcher and nothing else"
