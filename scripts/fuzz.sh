#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang in build/fuzz and fuzzes
# each in turn within KVT_FUZZ_SECONDS (120 by default): three tenths for the PE
# reader, the largest input format, a tenth for each other. A failure keeps its
# input in build/fuzz/artifacts; the seeds in tests/fuzz/corpus are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

# Skipped when test.sh runs this: it has installed them already.
kvt_install_deps

build=build/fuzz
seconds=${KVT_FUZZ_SECONDS:-120}
targets=(pe:3 utf8:1 arguments:1 command-line:1 format:1 config:1 value-store:1 telemetry:1)

cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build"

# The value-store target writes its value file below a folder of its own.
export XDG_CONFIG_HOME="$PWD/$build/value-store" XDG_CONFIG_DIRS="$PWD/$build/value-store"
mkdir -p "$build/artifacts" "$XDG_CONFIG_HOME/Sub"
status=0
summary=()
for entry in "${targets[@]}"; do
  name=${entry%:*}
  share=$((seconds * ${entry#*:} / 10 > 0 ? seconds * ${entry#*:} / 10 : 1))
  max_len=$([ "$name" = pe ] && echo 65536 || echo 4096)
  log=$build/fuzz-$name.log
  mkdir -p "$build/corpus/$name"
  echo "=== fuzzing ${name} for ${share} s (log: ${log})"
  result=passed
  KVT_FUZZ_TARGET=$name UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/kvt_fuzzer" "$build/corpus/$name" "tests/fuzz/corpus/$name" \
    -max_total_time="$share" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1 >"$log" 2>&1 || result=FAILED
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$result" = FAILED ]; then
    status=1
    tail -n 40 "$log"
  fi
  summary+=("$(printf '%-12s %10s runs  %s' "$name" "${runs:-0}" "$result")")
done

echo "=== fuzz summary"
printf '  %s\n' "${summary[@]}"
if [ "$status" -ne 0 ]; then
  echo "=== inputs that failed (rerun one with: KVT_FUZZ_TARGET=<target> ${build}/kvt_fuzzer <file>):"
  ls -1 "$build/artifacts" | sed "s#^#  ${build}/artifacts/#"
fi
exit "$status"
