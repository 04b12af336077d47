#!/usr/bin/env bash
# Builds the launcher for both systems and runs it once on each, then prints
# what it logged.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh >/dev/null
for preset in windows linux; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

demo=$(mktemp -d "${TMPDIR:-/tmp}/kvt-demo.XXXXXX")
trap 'WINEPREFIX="$demo/wineprefix" wineserver -k 2>/dev/null || true; rm -rf "$demo"' EXIT

echo "=== Linux: kvt-bootstrapper"
set +e
XDG_STATE_HOME="$demo/state" "$root/build/linux/bin/kvt-bootstrapper" --example "two words"
echo "exit code: $?"
set -e
echo "--- log:"
cat "$demo/state/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log"

echo
echo "=== Windows (under Wine): KVTBootstrapper.exe"
export WINEPREFIX="$demo/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wineboot -i >/dev/null 2>&1
set +e
wine "$root/build/windows/bin/KVTBootstrapper.exe" --example "two words" </dev/null
echo "exit code: $?"
set -e
echo "--- log:"
cat "$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Zorvan Games/Zorvan Online Services/Bootstrapper/Logs/KVTBootstrapper.log" | tr -d '\r'
