#!/usr/bin/env bash
# Builds and runs every test of both builds: native, native with sanitizers,
# and the Windows cross build under Wine, and fuzzes every parser of outside
# input for two minutes meanwhile. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

kvt_install_deps

# The fuzzers run for a fixed time on one core: started first, in the
# background, they overlap the builds instead of adding their time at the end.
# The targets are built with clang in a project of its own (tests/fuzz).
mkdir -p build
fuzz_log=build/fuzz-run.log
BOOTSTRAPPER_DEPS_READY=1 bash scripts/fuzz.sh >"$fuzz_log" 2>&1 &
fuzz_pid=$!

status=0
summary=()
for preset in "${kvt_presets[@]}"; do
  echo "=== ${preset}: configure and build"
  if kvt_build "$preset"; then
    echo "=== ${preset}: test"
    if ctest --preset "$preset"; then
      summary+=("${preset}: passed")
    else
      summary+=("${preset}: FAILED")
      status=1
    fi
  else
    summary+=("${preset}: BUILD FAILED")
    status=1
  fi
done

echo "=== fuzz: every parser of outside input"
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
cat "$fuzz_log"
if [ "$fuzz_status" -eq 0 ]; then
  summary+=("fuzz (parsers of outside input): passed")
else
  summary+=("fuzz (parsers of outside input): FAILED")
  status=1
fi

echo
echo "=== Summary"
printf '  %s\n' "${summary[@]}"
exit "$status"
