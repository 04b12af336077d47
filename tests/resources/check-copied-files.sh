#!/usr/bin/env bash
# Looks at the files the resource tests left behind with tools that are not
# ours: wrestool (icoutils), osslsigncode, readpe (pev) and objdump.
#   check-copied-files.sh <outputs folder> <signing folder> [objdump]
set -uo pipefail
outputs=$1
signed=$2
objdump=${3:-x86_64-w64-mingw32-objdump}
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Type, name and language of every icon, group and version resource, without offsets.
looks() {
  wrestool -l "$1" | grep -E -- "--type=(3|14|16) " | sed -E 's/ \[.*//' | sort
}

for file in sample-app.exe copied-launcher.exe copied-signed-launcher.exe two-certificates-removed.exe; do
  [ -f "$outputs/$file" ] || fail "$file was not left by the resource tests"
done

source_looks=$(looks "$outputs/sample-app.exe")
[ "$(grep -c -- '--type=16 ' <<<"$source_looks")" -eq 2 ] || fail "the sample application should have its version in two languages"
for copy in copied-launcher.exe copied-signed-launcher.exe; do
  copy_looks=$(looks "$outputs/$copy")
  if [ "$copy_looks" != "$source_looks" ]; then
    fail "$copy does not have the application's icons, groups and versions"
    diff <(echo "$source_looks") <(echo "$copy_looks")
  fi
  # The launcher's manifest is untouched by the copy.
  wrestool -l "$outputs/$copy" | grep -q -- "--type=24 --name=1 " || fail "$copy lost its manifest"
  readpe "$outputs/$copy" >/dev/null 2>&1 || fail "readpe cannot read $copy"
  if ! warnings=$("$objdump" -p "$outputs/$copy" 2>&1 >/dev/null) || [ -n "$warnings" ]; then
    fail "objdump finds $copy damaged: $warnings"
  fi
done

for unsigned in copied-signed-launcher.exe two-certificates-removed.exe; do
  verdict=$(osslsigncode verify -in "$outputs/$unsigned" 2>&1)
  if [ $? -eq 0 ] || ! grep -q "No signature found" <<<"$verdict"; then
    fail "osslsigncode still finds a signature in $unsigned: $verdict"
  fi
  readpe "$outputs/$unsigned" >/dev/null 2>&1 || fail "readpe cannot read $unsigned"
done

# A launcher that lost its signature to the copy can be signed again.
resigned="$signed/resigned-launcher.exe"
rm -f "$resigned"
if osslsigncode sign -certs "$signed/signer.pem" -key "$signed/signer.key" -n "KVT Bootstrapper" \
    -in "$outputs/copied-signed-launcher.exe" -out "$resigned" >/dev/null 2>&1; then
  osslsigncode verify -CAfile "$signed/signer.pem" -in "$resigned" 2>&1 | grep -q "Signature verification: ok" ||
    fail "the launcher signed again does not verify"
else
  fail "osslsigncode cannot sign the copied launcher again"
fi

if [ "$failures" -eq 0 ]; then
  echo "icons, groups and versions as the application's; manifests kept; no signatures left; signed again and verified"
fi
exit "$failures"
