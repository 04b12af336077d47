#!/usr/bin/env bash
# check-glibc.sh <program>...
# The oldest C library the Linux programs are promised to run on (release/GUIDE.md
# names it): Ubuntu 22.04 LTS has glibc 2.35. A symbol of a newer version, pulled
# in by a new call or by the static C++ runtime, would stop them there at start.
# Prints each program's newest version; fails when one passes the ceiling.
set -euo pipefail
ceiling=2.35
status=0
for program in "$@"; do
  newest="$(objdump -T "$program" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)"
  echo "$(basename "$program"): glibc ${newest:-none} (ceiling ${ceiling})"
  if [ -n "$newest" ] && [ "$(printf '%s\n%s\n' "$newest" "$ceiling" | sort -V | tail -n 1)" != "$ceiling" ]; then
    echo "  needs glibc ${newest}, newer than ${ceiling}:" >&2
    objdump -T "$program" | grep -E "GLIBC_${newest//./\\.}([^0-9.]|$)" >&2 || true
    status=1
  fi
done
exit "$status"
