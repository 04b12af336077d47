#!/usr/bin/env bash
# Writes the fuzzer's seed corpus into tests/fuzz/corpus. Run by hand when the
# seeds should change; the files are committed, so fuzzing needs none of
# these tools.
#   tests/fuzz/make-corpus.sh [windres]
# The resource-only DLLs are made like the reader tests' files (windres, then
# lld-link), a signed copy with a certificate made for this run only, and three
# inputs are written byte by byte by corpus-src/make-tiny.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
windres=${1:-x86_64-w64-mingw32-windres}
out=$here/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -rf "$out"
mkdir -p "$out"
python3 "$here/corpus-src/make-tiny.py" "$work"
mv "$work/headers-only.exe" "$work/tree-and-certificates.dll" "$work/padded-certificates.dll" "$out/"

build() { # <script> <name> <machine>
  "$windres" -O res -I "$work" "$here/corpus-src/$1" -o "$work/$2.res"
  lld-link /nologo /machine:"$3" /dll /noentry /out:"$out/$2.dll" "$work/$2.res"
  rm -f "$out/$2.lib"
}
build Small.rc small64 x64
build Small.rc small32 x86
build Named.rc named64 x64

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=KVT Fuzz Corpus" \
  -keyout "$work/signer.key" -out "$work/signer.pem" 2>/dev/null
osslsigncode sign -certs "$work/signer.pem" -key "$work/signer.key" -n "KVT Fuzz Corpus" \
  -in "$out/small64.dll" -out "$out/signed64.dll" >/dev/null
osslsigncode verify -CAfile "$work/signer.pem" -in "$out/signed64.dll" | grep -q "Signature verification: ok"
ls -l "$out"
