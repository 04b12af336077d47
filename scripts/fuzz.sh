#!/usr/bin/env bash
# Builds the PE reader's libFuzzer target with clang in build/fuzz and fuzzes
# it for a minute (KVT_FUZZ_SECONDS to change that). Any crash, sanitizer
# report, broken invariant, timeout or memory blow-up fails the script; the
# input that caused it is kept in build/fuzz/artifacts.
# New inputs go to build/fuzz/corpus; the committed seeds in tests/fuzz/corpus
# are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

# Skipped when test.sh runs this: it has installed them already.
kvt_install_deps

build=build/fuzz
seconds=${KVT_FUZZ_SECONDS:-60}

cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build"

mkdir -p "$build/corpus" "$build/artifacts"
log=$build/fuzz.log
echo "=== fuzzing the PE reader for ${seconds} s (log: ${log})"
status=0
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
"$build/pe_reader_fuzzer" "$build/corpus" tests/fuzz/corpus \
  -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 >"$log" 2>&1 || status=$?

# The status lines of a minute's run are many; the first and last say enough.
grep -E '^INFO: seed corpus|^#[0-9]+[[:space:]]+INITED' "$log" || true
grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 || true
grep -E '^stat::' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "=== the fuzzer failed (exit status ${status}); the end of its log:"
  tail -n 60 "$log"
  echo "=== inputs that failed (rerun one with: ${build}/pe_reader_fuzzer <file>):"
  ls -1 "$build/artifacts" | sed "s#^#  ${build}/artifacts/#"
  exit 1
fi
echo "=== fuzzing passed"
