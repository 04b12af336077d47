#!/usr/bin/env bash
# Builds and runs every test of both builds: native, native with sanitizers,
# and the Windows cross build under Wine, then fuzzes the PE reader for a
# minute. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

kvt_install_deps

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

# The fuzz target is built with clang in a project of its own (tests/fuzz).
echo "=== fuzz: PE reader"
if BOOTSTRAPPER_DEPS_READY=1 bash scripts/fuzz.sh; then
  summary+=("fuzz (PE reader): passed")
else
  summary+=("fuzz (PE reader): FAILED")
  status=1
fi

echo
echo "=== Summary"
printf '  %s\n' "${summary[@]}"
exit "$status"
