# shellcheck shell=bash
# Sourced by the scripts that build: test.sh, demo.sh, benchmark.sh (and
# fuzz.sh, for the dependencies only). They cd to the repository root first.

# Every preset in the order it must be built. The Windows build comes first:
# the native configure tool carries the launcher it makes, and a native build
# configured before that exists carries the Linux launcher alone.
kvt_presets=(windows linux linux-asan)

# Installs what is missing, once per command: a script that runs another one
# (test.sh runs fuzz.sh) sets BOOTSTRAPPER_DEPS_READY=1 for that one alone,
# which then skips the check. It is kept from the tests and programs the
# scripts start, and out of KVT_*, the launcher's own variables, which the
# sample game reports.
kvt_install_deps() {
  if [ "${BOOTSTRAPPER_DEPS_READY:-}" = 1 ]; then
    return 0
  fi
  bash scripts/install-deps.sh
}

kvt_windows_tried=
# kvt_build <preset> [-B <folder>] [-D<name>=<value>...] [target...]
# Configures and builds one preset: every target, or only the ones named (and
# what they depend on); with -B in that folder instead of the preset's, and
# with the cache settings given (the demo's builds of their own). A native
# preset is refused until this command has built the Windows one (or tried to:
# a failed Windows build still lets the native ones build and test), as its
# configure tool would otherwise carry no Windows launcher or a stale one.
kvt_build() {
  local preset=$1
  shift
  if [ "$preset" = windows ]; then
    kvt_windows_tried=1
  elif [ -z "$kvt_windows_tried" ]; then
    echo "kvt_build: build the windows preset before ${preset} (order: ${kvt_presets[*]})" >&2
    return 1
  fi
  local configure=() build=(--preset "$preset") targets=()
  while [ "$#" -gt 0 ]; do
    case $1 in
      -B) configure+=(-B "$2"); build=("$2"); shift ;;
      -D*) configure+=("$1") ;;
      *) targets+=("$1") ;;
    esac
    shift
  done
  if [ "${#targets[@]}" -gt 0 ]; then
    targets=(--target "${targets[@]}")
  fi
  cmake --preset "$preset" "${configure[@]}" >/dev/null && cmake --build "${build[@]}" "${targets[@]}"
}

# kvt_build_quietly <preset> [-B <folder>] [-D<name>=<value>...] [target...]
# The same, for scripts whose output is something else: the build's output
# shows only when it fails.
kvt_build_quietly() {
  local log status=0
  log=$(mktemp "${TMPDIR:-/tmp}/kvt-build.XXXXXX")
  kvt_build "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "=== building $1 failed; the end of its output:" >&2
    tail -n 60 "$log" >&2
  fi
  rm -f "$log"
  return "$status"
}
