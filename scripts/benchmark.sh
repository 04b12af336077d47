#!/usr/bin/env bash
# Builds the programs benchmark.py runs on both systems and measures the
# launcher's start-up cost. Arguments go to benchmark.py (--runs, --rounds,
# --system; see its help).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

kvt_install_deps >/dev/null
# The game stand-in, the minimal wrapper (alone and making a GUID first) and
# the launcher with a loopback telemetry address (tests/e2e), the same target
# names on both systems.
for preset in windows linux; do
  kvt_build_quietly "$preset" kvt_start_stamp kvt_minimal_wrapper kvt_guid_wrapper kvt_e2e_launcher
done
exec python3 scripts/benchmark.py "$@"
