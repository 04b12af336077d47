#!/usr/bin/env bash
# Windows launchers configured on Linux, judged by what Windows programs and
# tools that are not ours make of them.
#   check-linux-copy.sh sign   <launcher.exe> <signing folder> <outputs folder>
#   check-linux-copy.sh tool   <launcher.exe> <signing folder> <outputs folder> <Windows build> <native tool>
#   check-linux-copy.sh copies <launcher.exe> <signing folder> <outputs folder> <Windows build>
# "sign" signs a copy of the Windows build's launcher for the native resource
# tests (and empties the outputs folder they fill). "tool" runs the native
# configure tool on a game and looks at the launcher it writes; "copies" looks
# at the copies the native resource tests left. Both use wrestool and
# osslsigncode on Linux, and under Wine (the Windows build's prefix) the
# resource probe, which reads a file with the system's own resource functions;
# "tool" also runs the launcher there.
# All end with 77 (a skip for CTest) when the Windows build's files are absent.
set -uo pipefail
mode=$1
launcher=$(realpath -m "$2")
signed=$(realpath -m "$3")
outputs=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)

skip_without() {
  local file
  for file in "$@"; do
    if [ ! -f "$file" ]; then
      echo "SKIP: no Windows build output at $file (build the windows preset first, or set KVT_WINDOWS_BUILD_DIR and KVT_WINDOWS_LAUNCHER)"
      exit 77
    fi
  done
}

if [ "$mode" = sign ]; then
  skip_without "$launcher"
  exec bash "$here/make-signed-launcher.sh" "$launcher" "$signed" "$outputs"
fi

[ "$mode" = tool ] || [ "$mode" = copies ] || { echo "unknown mode: $mode" >&2; exit 2; }
windows=$(realpath -m "$5")
tool=$(realpath -m "${6:-.}")
fixtures=$windows/tests/resources
probe=$fixtures/kvt_resource_probe.exe
game=$fixtures/kvt_fixture_game.exe
wine_run=$windows/wine-run.sh
skip_without "$launcher" "$probe" "$game" "$fixtures/kvt_fixture_icon_only_app.exe" "$wine_run"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
cleanup() {
  "$wine_run" --stop >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
"$wine_run" --start || { echo "FAIL: the Wine prefix of $windows cannot be started"; exit 1; }
# The tool's and the launcher's logs stay in this run's folder.
export XDG_STATE_HOME=$work/state

# "copied": type, name and language of every icon, group and version (their
# bytes are the probe's to judge); "other": the rest, with their sizes.
listing() {
  local pattern='--type=(3|14|16) '
  if [ "$1" = copied ]; then
    wrestool -l "$2" | grep -E -- "$pattern" | sed -E 's/ \[.*//' | sort
  else
    wrestool -l "$2" | grep -vE -- "$pattern" | sed -E 's/offset=0x[0-9a-f]+ ?//' | sort
  fi
}

# Every resource other than icons, groups and versions is the launcher's own, byte for byte.
same_other_resources() { # <file> <launcher it was made from>
  local line type name language
  [ "$(listing other "$1")" = "$(listing other "$2")" ] || { fail "$1 does not keep the launcher's other resources"; return; }
  while read -r type name language _; do
    type=${type//\'/} name=${name//\'/}
    cmp -s <(wrestool -x --raw "$type" "$name" "$language" "$1") <(wrestool -x --raw "$type" "$name" "$language" "$2") ||
      fail "$1: $type $name $language differs from the launcher's"
  done < <(listing other "$1")
}

# What the system's resource functions find, from the probe under Wine.
probe_file() {
  "$wine_run" "$probe" "Z:$1" </dev/null 2>"$work/probe.err" | tr -d '\r'
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || fail "the probe ends with $status on $1: $(cat "$work/probe.err")"
}

# Under Wine the copy shows the source's names and languages, and every
# language of a name holds the bytes that the source hands out for it when no
# language is asked for, as Windows' resource copy makes it.
probe_matches() { # <source> <copy>
  local source copy expected
  source=$(probe_file "$1")
  copy=$(probe_file "$2")
  if [ -z "$source" ]; then
    fail "the probe finds nothing in $1"
    return
  fi
  if [ "$(grep '^language ' <<<"$copy" | cut -d' ' -f2-4 | sort)" != "$(grep '^language ' <<<"$source" | cut -d' ' -f2-4 | sort)" ]; then
    fail "$2 does not have the names and languages of $1 under Wine"
    diff <(grep '^language ' <<<"$source" | cut -d' ' -f2-4 | sort) <(grep '^language ' <<<"$copy" | cut -d' ' -f2-4 | sort)
  fi
  # "language type=T name=N language=L size=S fnv1a=H" against "default type=T name=N size=S fnv1a=H".
  expected=$(awk '$1 == "default" { print "language", $2, $3, $4, $5 }' <<<"$source" | sort)
  local actual
  actual=$(awk '$1 == "language" { print "language", $2, $3, $5, $6 }' <<<"$copy" | sort -u)
  if [ "$actual" != "$expected" ]; then
    fail "under Wine, not every language of $2 holds the bytes $1 gives by default"
    diff <(echo "$expected") <(echo "$actual")
  fi
}

unsigned_but_signable() { # <file> <name for the signed copy>
  local verdict
  verdict=$(osslsigncode verify -in "$1" 2>&1)
  if [ $? -eq 0 ] || ! grep -q "No signature found" <<<"$verdict"; then
    fail "osslsigncode still finds a signature in $1: $verdict"
  fi
  if osslsigncode sign -certs "$signed/signer.pem" -key "$signed/signer.key" -n "KVT Bootstrapper" \
      -in "$1" -out "$work/$2" >/dev/null 2>&1; then
    osslsigncode verify -CAfile "$signed/signer.pem" -in "$work/$2" 2>&1 | grep -q "Signature verification: ok" ||
      fail "$1 signed again does not verify"
  else
    fail "osslsigncode cannot sign $1"
  fi
}

# ---- The configure tool on a game -----------------------------------------------
check_tool() {
  local made=$work/game/Launcher.exe status report
  mkdir -p "$work/game"
  cp "$game" "$work/game/Game.exe"
  # -w last and without a folder: a path option takes whatever follows it.
  if ! (cd "$work/game" && "$tool" -o Launcher.exe -a Game.exe -f -r -w) >"$work/tool.out" 2>&1; then
    fail "kvt-bootstrapper-tool -o Launcher.exe -a Game.exe -f -r -w failed: $(cat "$work/tool.out")"
  fi
  if [ ! -f "$made" ]; then
    fail "the tool wrote no Launcher.exe"
    return
  fi
  [ "$(head -c 2 "$made")" = MZ ] || fail "the tool wrote no Windows program for Launcher.exe"
  [ -x "$made" ] || fail "Launcher.exe is not executable"
  if [ "$(listing copied "$made")" != "$(listing copied "$work/game/Game.exe")" ]; then
    fail "wrestool finds other icons, groups or versions in Launcher.exe than in Game.exe"
    diff <(listing copied "$work/game/Game.exe") <(listing copied "$made")
  fi
  same_other_resources "$made" "$launcher"
  readpe "$made" >/dev/null 2>&1 || fail "readpe cannot read Launcher.exe"
  probe_matches "$work/game/Game.exe" "$made"
  unsigned_but_signable "$made" signed-Launcher.exe

  # It starts the game with its own arguments, waits (-f) and passes the game's code on.
  (cd "$work/game" && KVT_REPORT_FILE="Z:$work/game/report.txt" KVT_REPORT_EXIT_CODE=37 \
    "$wine_run" Launcher.exe first "second argument" </dev/null >"$work/launcher.out" 2>&1)
  status=$?
  [ "$status" -eq 37 ] || fail "the launcher ended with $status, not the game's 37: $(cat "$work/launcher.out")"
  if [ ! -f "$work/game/report.txt" ]; then
    fail "the game wrote no report: $(cat "$work/launcher.out")"
    return
  fi
  report=$(tr -d '\r' <"$work/game/report.txt")
  grep -qx "arg=first" <<<"$report" && grep -qx "arg=second argument" <<<"$report" ||
    fail "the game did not get the launcher's arguments: $report"
  grep -qiE "^arg=.*\\Game\.exe$" <<<"$report" || fail "the report is not the game's: $report"
}

# ---- The copies the native resource tests left --------------------------------------
check_copies() {
  local file
  for file in sample-app.exe copied-launcher.exe copied-signed-launcher.exe two-certificates-removed.exe \
      icon-only-copied-target.exe appended-copied-launcher.exe; do
    [ -f "$outputs/$file" ] || { fail "$file was not left by the resource tests"; return; }
  done
  for file in copied-launcher.exe copied-signed-launcher.exe appended-copied-launcher.exe; do
    probe_matches "$outputs/sample-app.exe" "$outputs/$file"
    same_other_resources "$outputs/$file" "$launcher"
    readpe "$outputs/$file" >/dev/null 2>&1 || fail "readpe cannot read $file"
  done
  probe_matches "$fixtures/kvt_fixture_icon_only_app.exe" "$outputs/icon-only-copied-target.exe"
  unsigned_but_signable "$outputs/copied-signed-launcher.exe" resigned-launcher.exe
  unsigned_but_signable "$outputs/two-certificates-removed.exe" resigned-two-certificates.exe
}

case $mode in
  tool)
    check_tool
    [ "$failures" -eq 0 ] && echo "the tool's launcher: the game's looks under Wine and wrestool, the launcher's other" \
      "resources kept, unsigned and signable again; it ran the game with its arguments and passed its exit code on"
    ;;
  copies)
    check_copies
    [ "$failures" -eq 0 ] && echo "the tests' copies: the sources' looks under Wine, the launcher's other resources kept," \
      "unsigned and signable again"
    ;;
esac
exit "$failures"
