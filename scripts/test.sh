#!/usr/bin/env bash
# Builds and runs every test of both builds: native, native with sanitizers,
# and the Windows cross build under Wine, then fuzzes the PE reader for a
# minute. Installs what is missing first.
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

# The fuzz target is built with clang in a project of its own (tests/fuzz).
echo "=== fuzz: PE reader"
if bash scripts/fuzz.sh; then
  summary+=("fuzz (PE reader): passed")
else
  summary+=("fuzz (PE reader): FAILED")
  status=1
fi

echo
echo "=== Summary"
printf '  %s\n' "${summary[@]}"
exit "$status"
