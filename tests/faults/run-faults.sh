#!/usr/bin/env bash
# Plants each hand-made fault of this folder in a source tree, rebuilds only
# what its tests need in the windows and linux builds of that tree, runs those
# tests and prints one line per fault and build: caught, or MISSED when every
# test still passed. The patch is taken out again on every path, also on Ctrl+C.
#
#   run-faults.sh [-C <tree>] [<fault> ...]
#
# <tree> defaults to the repository holding this script and needs both builds
# (windows first: the native tool carries the Windows launcher). A fault is
# named by its number or file name; "baseline" runs every listed test with no
# fault planted, which must pass for the other lines to mean anything.
# Each patch names its tests in its first line ("# tests: ..."), and may
# limit itself to one build ("# builds: windows") when the file it changes is
# compiled only there.
set -u -o pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$(git -C "$here" rev-parse --show-toplevel)
if [ "${1:-}" = -C ]; then tree=$(cd "$2" && pwd); shift 2; fi
logs=$tree/build/faults
mkdir -p "$logs"

patches=()
if [ $# -eq 0 ]; then
  patches=("$here"/[0-9][0-9]-*.patch)
else
  for name in "$@"; do
    case $name in
      baseline) patches+=(baseline) ;;
      [0-9]|[0-9][0-9]) patches+=("$here"/$(printf %02d "$((10#$name))")-*.patch) ;;
      *) patches+=("$here/${name%.patch}.patch") ;;
    esac
  done
fi

header() { sed -n "s/^# $1: //p" "$2" | head -n 1; }

# The build targets a test needs: a test binary is its own target; the scripts
# run the configure tool.
targets_for() { # build test
  local tool=kvt-bootstrapper-tool
  [ "$1" = windows ] && tool=KVTBootstrapperTool
  case $2 in
    configure_tool_console) echo "$tool" ;;
    *) echo "$2" ;;
  esac
}

# Natively every test case is its own CTest entry: pick the entries whose
# command is one of the named binaries, or whose name is one of the names.
native_entries() { # names...
  ctest --test-dir "$tree/build/linux" --show-only=json-v1 | python3 -c '
import json, os, sys
names = set(sys.argv[1:])
tests = json.load(sys.stdin)["tests"]
print(",".join(str(i) for i, t in enumerate(tests, 1)
      if t["name"] in names or os.path.basename((t.get("command") or [""])[0]) in names))' "$@"
}

applied=
revert() {
  if [ -n "$applied" ]; then
    git -C "$tree" apply -R "$applied" || echo "!! could not take out $applied" >&2
    applied=
  fi
}
trap 'revert; exit 130' INT TERM
trap revert EXIT

launcher=$tree/build/windows/app/embedded/KVTBootstrapper.exe
start=$SECONDS
for patch in "${patches[@]}"; do
  if [ "$patch" = baseline ]; then
    name=baseline
    tests=$(cat "$here"/[0-9][0-9]-*.patch | sed -n 's/^# tests: //p' | tr ' ' '\n' | sort -u | tr '\n' ' ')
    builds="windows linux"
  else
    [ -f "$patch" ] || { echo "no such fault: $patch" >&2; exit 2; }
    name=$(basename "$patch" .patch)
    tests=$(header tests "$patch")
    builds=$(header builds "$patch")
    builds=${builds:-windows linux}
    git -C "$tree" apply "$patch" || { echo "$name: does not apply" >&2; continue; }
    applied=$patch
  fi
  launcher_before=$(stat -c %Y "$launcher" 2>/dev/null)

  for build in windows linux; do
    case " $builds " in *" $build "*) ;; *) printf '%-44s %-8s n/a\n' "$name" "$build"; continue ;; esac
    log=$logs/$name.$build.log
    t0=$SECONDS
    targets=$(for t in $tests; do targets_for "$build" "$t"; done | sort -u)
    # shellcheck disable=SC2086
    if ! cmake --build "$tree/build/$build" -j2 --target $targets >"$log" 2>&1; then
      printf '%-44s %-8s BUILD FAILED (%s)\n' "$name" "$build" "$log"
      continue
    fi
    if [ "$build" = windows ]; then
      regex="^($(echo $tests | tr ' ' '|'))\$"
      ctest --test-dir "$tree/build/windows" -j2 --timeout 300 --no-tests=error --output-on-failure -R "$regex" >>"$log" 2>&1
    else
      # shellcheck disable=SC2086
      entries=$(native_entries $tests)
      ctest --test-dir "$tree/build/linux" -j2 --timeout 300 --no-tests=error --output-on-failure -I "0,0,0,${entries:-0}" >>"$log" 2>&1
    fi
    status=$?
    if [ "$name" = baseline ]; then
      verdict=$([ $status -eq 0 ] && echo passed || echo FAILED)
    else
      verdict=$([ $status -ne 0 ] && echo caught || echo MISSED)
    fi
    printf '%-44s %-8s %-7s %4ss  %s\n' "$name" "$build" "$verdict" "$((SECONDS - t0))" "$tests"
  done

  revert
  # The native tool carries the Windows launcher: one rebuilt with the fault
  # in it must not stay behind for the next fault's native tests.
  if [ -n "$launcher_before" ] && [ "$(stat -c %Y "$launcher")" != "$launcher_before" ]; then
    cmake --build "$tree/build/windows" -j2 --target app/embedded/KVTBootstrapper.exe >>"$logs/$name.windows.log" 2>&1 ||
      echo "!! could not rebuild the clean Windows launcher" >&2
  fi
done
echo "total: $((SECONDS - start)) s"
