#!/usr/bin/env bash
# Resource-only DLLs linked by lld-link (no 32-bit C toolchain needed), and
# copies signed with a certificate made for this run.
#   make-fixtures.sh <our fixtures> <resource test fixtures> <output folder> <windres>
set -euo pipefail
ours=$1
shared=$2
out=$3
windres=$4

rm -rf "$out"
mkdir -p "$out/icons"
python3 "$shared/make-icons.py" "$out/icons"

build() { # <script> <name> <machine> [object]
  "$windres" -O res -I "$out" "$1" -o "$out/$2.res"
  lld-link /nologo /machine:"$3" /dll /noentry /out:"$out/$2.dll" "$out/$2.res" ${4:+"$4"}
}
sign() { # <input> <output>
  osslsigncode sign -certs "$out/signer.pem" -key "$out/signer.key" -n "KVT Reader Tests" -in "$out/$1" -out "$out/$2" >/dev/null
}
for script in SampleApp TargetApp; do
  sed "s#@KVT_FIXTURE_ICON_DIR@#$out/icons#" "$shared/$script.rc.in" > "$out/$script.rc"
done
build "$out/SampleApp.rc" sample64 x64
build "$out/SampleApp.rc" sample32 x86
build "$out/TargetApp.rc" target64 x64
# Past 64 KiB, where the checksum's upper half is no longer zero.
head -c 70000 /dev/zero > "$out/filler.bin"
build "$ours/NamedTypes.rc" named64 x64

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=KVT Reader Tests" \
  -keyout "$out/signer.key" -out "$out/signer.pem" 2>/dev/null
sign sample64.dll signed64.dll
sign named64.dll signedlarge64.dll

# Several sections with the resources in the middle, as linkers lay out real
# programs: a pointer in .data gives the file base relocations, which lld-link
# puts in a .reloc section behind .rsrc.
printf '.data\nvalue: .quad value\n' > "$out/pointer.s"
"${windres%windres}as" -o "$out/pointer.o" "$out/pointer.s"
build "$out/SampleApp.rc" sections64 x64 "$out/pointer.o"
