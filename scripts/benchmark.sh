#!/usr/bin/env bash
# Builds both systems and measures the launcher's start-up cost (see benchmark.py).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
for preset in windows linux; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
exec python3 scripts/benchmark.py
