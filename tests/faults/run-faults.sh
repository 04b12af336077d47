#!/usr/bin/env bash
# Plants each hand-made fault of this folder in a source tree, rebuilds what
# its tests need in the tree's windows and linux builds, runs those tests and
# prints one line per fault and build: caught, or MISSED when all still pass,
# then which of the named tests caught it and which missed it.
#
#   run-faults.sh [-C <tree>] [baseline | <number> | <file>] ...
#
# Both builds must exist (windows first: the native tool carries the Windows
# launcher). "baseline" runs every named test with no fault planted. A patch
# names its tests in its first line ("# tests: ...") and may name the one
# build that compiles the file it changes ("# builds: windows").
set -u -o pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$(git -C "$here" rev-parse --show-toplevel)
if [ "${1:-}" = -C ]; then tree=$(cd "$2" && pwd); shift 2; fi
logs=$tree/build/faults
mkdir -p "$logs"

patches=()
[ $# -eq 0 ] && patches=("$here"/[0-9][0-9]-*.patch)
for name in "$@"; do
  case $name in
    baseline) patches+=(baseline) ;;
    [0-9]|[0-9][0-9]) patches+=("$here"/$(printf %02d "$((10#$name))")-*.patch) ;;
    *) patches+=("$here/${name%.patch}.patch") ;;
  esac
done

header() { sed -n "s/^# $1: //p" "$2" | head -n 1; }

applied=
revert() {
  if [ -n "$applied" ]; then
    git -C "$tree" apply -R "$applied" || echo "!! could not take out $applied" >&2
  fi
  applied=
}
trap 'revert; exit 130' INT TERM
trap revert EXIT

launcher=$tree/build/windows/app/embedded/KVTBootstrapper.exe
start=$SECONDS
for patch in "${patches[@]}"; do
  if [ "$patch" = baseline ]; then
    name=baseline
    builds="windows linux"
    tests=$(cat "$here"/[0-9][0-9]-*.patch | sed -n 's/^# tests: //p' | tr ' ' '\n' | sort -u | xargs)
  else
    [ -f "$patch" ] || { echo "no such fault: $patch" >&2; exit 2; }
    name=$(basename "$patch" .patch)
    tests=$(header tests "$patch")
    builds=$(header builds "$patch")
    git -C "$tree" apply "$patch" || { echo "$name: does not apply" >&2; continue; }
    applied=$patch
  fi
  launcher_before=$(stat -c %Y "$launcher" 2>/dev/null)

  for build in windows linux; do
    case " ${builds:-windows linux} " in *" $build "*) ;; *) printf '%-44s %-8s n/a\n' "$name" "$build"; continue ;; esac
    log=$logs/$name.$build.log
    t0=$SECONDS
    # A test binary is its own target; the console check runs the configure tool.
    tool=$([ "$build" = windows ] && echo KVTBootstrapperTool || echo kvt-bootstrapper-tool)
    targets=$(echo "$tests" | sed "s/configure_tool_console/$tool/" | xargs -n1 | sort -u)
    # shellcheck disable=SC2086
    if ! cmake --build "$tree/build/$build" -j2 --target $targets >"$log" 2>&1; then
      printf '%-44s %-8s BUILD FAILED (%s)\n' "$name" "$build" "$log"
      continue
    fi
    # Native test cases are named after their binary ("bootstrap_tests.Suite.Case").
    ctest --test-dir "$tree/build/$build" -j2 --timeout 300 --no-tests=error --output-on-failure \
      -R "^($(echo $tests | tr ' ' '|'))(\.|\$)" >"$log.ctest" 2>&1
    status=$?
    cat "$log.ctest" >>"$log"
    # The binaries with a failing case, from the list ctest closes with.
    failed=$(sed -n '/^The following tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \([^ .]*\).*/\1/p' "$log.ctest" | sort -u | xargs)
    rm -f "$log.ctest"
    by=; missed=
    for test in $tests; do
      case " $failed " in *" $test "*) by="$by $test" ;; *) missed="$missed $test" ;; esac
    done
    if [ "$name" = baseline ]; then
      verdict=$([ $status -eq 0 ] && echo passed || echo FAILED)
      detail=$([ $status -eq 0 ] && echo "$tests" || echo "failed:${by:- (see $log)}")
    else
      verdict=$([ $status -ne 0 ] && echo caught || echo MISSED)
      detail="caught by:${by:- none}; missed by:${missed:- none}"
    fi
    printf '%-44s %-8s %-7s %4ss  %s\n' "$name" "$build" "$verdict" "$((SECONDS - t0))" "$detail"
  done

  revert
  # A launcher rebuilt with the fault in it must not stay behind in the tool
  # that the next fault's native tests run.
  if [ -n "$launcher_before" ] && [ "$(stat -c %Y "$launcher")" != "$launcher_before" ]; then
    cmake --build "$tree/build/windows" -j2 --target app/embedded/KVTBootstrapper.exe >>"$logs/$name.windows.log" 2>&1 ||
      echo "!! could not rebuild the clean Windows launcher" >&2
  fi
done
echo "total: $((SECONDS - start)) s"
