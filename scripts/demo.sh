#!/usr/bin/env bash
# Builds what it runs, then shows the launcher at work on both systems: the
# configure tool sets a launcher up next to a sample game, a sample User Helper
# is registered for the current user, one run, then the log, what the game
# received and the telemetry a loopback collector received.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

kvt_install_deps >/dev/null

# The telemetry address is built into the launchers, so the demo builds its own
# in folders of its own with this fixed loopback port: the shared build folders
# and the launchers their tools carry keep theirs.
port=28711
demo=$(mktemp -d "${TMPDIR:-/tmp}/kvt-demo.XXXXXX")
collector=
cleanup() {
  if [ -n "$collector" ]; then
    kill "$collector" 2>/dev/null || true
    wait "$collector" 2>/dev/null || true
  fi
  WINEPREFIX="$demo/wineprefix" wineserver -k 2>/dev/null || true
  rm -rf "$demo"
}
trap cleanup EXIT

# Started before the builds, so that a taken port stops the demo at once.
telemetry="$demo/telemetry.txt"
python3 scripts/lib/telemetry_collector.py "$port" "$telemetry" &
collector=$!
until [ -e "$telemetry" ]; do
  if ! kill -0 "$collector" 2>/dev/null; then
    collector=
    echo "demo: the demo's launchers post their telemetry to 127.0.0.1:${port}, and something else holds" \
      "that port (another demo still running?); free it and run the demo again." >&2
    exit 1
  fi
  sleep 0.1
done

# Only the programs run below, not the tests (they take most of a full build):
# the launcher and the configure tool that carries it, the sample game (also the
# sample User Helper), and the Windows game with icons and version information
# that the Linux tool copies with -r. The Linux tool carries the demo's Windows
# launcher.
address=-DKVT_TELEMETRY_URL=http://127.0.0.1:$port
echo "=== building windows (build/demo-windows, telemetry to http://127.0.0.1:${port})"
kvt_build_quietly windows -B build/demo-windows "$address" KVTBootstrapper KVTBootstrapperTool \
  kvt_report_helper kvt_fixture_game
echo "=== building linux (build/demo-linux, telemetry to http://127.0.0.1:${port})"
kvt_build_quietly linux -B build/demo-linux "$address" \
  "-DKVT_WINDOWS_LAUNCHER=$root/build/demo-windows/app/embedded/KVTBootstrapper.exe" \
  kvt-bootstrapper kvt-bootstrapper-tool kvt_report_helper

# The sample programs are the test suite's report helper: it writes what it
# received to KVT_REPORT_FILE and exits with KVT_REPORT_EXIT_CODE (0 when unset).
# As the User Helper it runs first and succeeds; the game's report replaces its own.

show() {
  local log=$1 report=$2
  echo "--- the launcher's log:"
  tr -d '\r' <"$log"
  echo "--- what the game received:"
  tr -d '\r' <"$report" | grep -E '^(arg|cwd|env|injob|pgid)=' | grep -vE '^env=KVT_(REPORT|E2E)'
  show_telemetry
}

# Each event as the collector received it, then a clean slate for the next run.
show_telemetry() {
  echo "--- the telemetry the collector on 127.0.0.1:${port} received:"
  cat "$telemetry"
  : >"$telemetry"
}

echo
echo "=================== Linux: kvt-bootstrapper ==================="
game="$demo/linux/Sample Game"
mkdir -p "$game" "$demo/linux/service" "$demo/linux/config/SOFTWARE/Zorvan Games/KVT/UserHelper"
cp build/demo-linux/tests/platform/kvt_report_helper "$game/SampleGame"
cp build/demo-linux/tests/platform/kvt_report_helper "$demo/linux/service/UserHelper"
echo "--- the configure tool writes the launcher and its INI next to the game:"
(cd "$game" && "$root/build/demo-linux/bin/kvt-bootstrapper-tool" -o Launcher -a SampleGame --wait-for-exit) | sed 's/^/    /'
# The Linux launcher's registry: one file per value under the user's config folder.
printf '%s\n' "$demo/linux/service/UserHelper" >"$demo/linux/config/SOFTWARE/Zorvan Games/KVT/UserHelper/Path"
echo "Launcher.ini:"; cat "$game/Launcher.ini"
set +e
XDG_CONFIG_HOME="$demo/linux/config" XDG_CONFIG_DIRS="$demo/linux/none" XDG_STATE_HOME="$demo/linux/state" \
  KVT_REPORT_FILE="$demo/linux/game-report.txt" \
  "$game/Launcher" --level 3 "player one"
code=$?
set -e
echo "--- the launcher's exit code: $code (the game's own, passed on because WaitForExit=1)"
show "$demo/linux/state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log" "$demo/linux/game-report.txt"

echo
echo "=================== Windows (under Wine): KVTBootstrapper.exe ==================="
export WINEPREFIX="$demo/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wineboot -i >/dev/null 2>&1 </dev/null
game="$demo/windows/Sample Game"
mkdir -p "$game" "$demo/windows/service"
cp build/demo-windows/tests/platform/kvt_report_helper.exe "$game/SampleGame.exe"
cp build/demo-windows/tests/platform/kvt_report_helper.exe "$demo/windows/service/UserHelper.exe"
echo "--- the configure tool writes the launcher and its INI next to the game:"
(cd "$game" && wine "$root/build/demo-windows/bin/KVTBootstrapperTool.exe" -o Launcher.exe -a SampleGame.exe -f </dev/null) | tr -d '\r' | sed 's/^/    /'
echo "Launcher.ini:"; tr -d '\r' <"$game/Launcher.ini"
wine reg add 'HKCU\SOFTWARE\Zorvan Games\KVT\UserHelper' /v Path /t REG_SZ /d "Z:$demo/windows/service/UserHelper.exe" /f >/dev/null 2>&1 </dev/null
set +e
KVT_REPORT_FILE="Z:$demo/windows/game-report.txt" \
  wine "$game/Launcher.exe" --level 3 "player one" </dev/null
code=$?
set -e
echo "--- the launcher's exit code: $code (the game's own, passed on because WaitForExit=1)"
show "$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log" \
  "$demo/windows/game-report.txt"

echo
echo "=================== A Windows launcher prepared on Linux ==================="
# The native tool writes the Windows launcher for an .exe output and gives it
# the game's icons and version information with its own PE resource editor.
game="$demo/from-linux/Sample Game"
mkdir -p "$game"
cp build/demo-windows/tests/platform/resources/kvt_fixture_game.exe "$game/SampleGame.exe"
echo "--- kvt-bootstrapper-tool -o Launcher.exe -a SampleGame.exe -r -f, on Linux:"
(cd "$game" && XDG_STATE_HOME="$demo/from-linux/state" "$root/build/demo-linux/bin/kvt-bootstrapper-tool" \
  -o Launcher.exe -a SampleGame.exe -r -f) | sed 's/^/    /'
echo "--- icons, icon groups and version information of the game and of the launcher (wrestool):"
for file in SampleGame.exe Launcher.exe; do
  echo "  $file:"
  wrestool -l "$game/$file" | grep -E -- '--type=(3|14|16) ' | sed -E 's/ \[.*//; s/^/    /'
done
set +e
KVT_REPORT_FILE="Z:$demo/from-linux/game-report.txt" \
  wine "$game/Launcher.exe" "prepared on linux" </dev/null
code=$?
set -e
echo "--- the launcher's exit code under Wine: $code (the game's own)"
echo "--- what the game received:"
tr -d '\r' <"$demo/from-linux/game-report.txt" | grep -E '^arg='
show_telemetry
