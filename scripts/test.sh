#!/usr/bin/env bash
# Builds and runs every test of both builds: native, native with sanitizers,
# and the Windows cross build under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

status=0
summary=()
# The Windows build goes first: the native configure tool carries its launcher.
for preset in windows linux linux-asan; do
  echo "=== ${preset}: configure and build"
  if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
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

echo
echo "=== Summary"
printf '  %s\n' "${summary[@]}"
exit "$status"
