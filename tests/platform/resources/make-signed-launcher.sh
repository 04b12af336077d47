#!/usr/bin/env bash
# Signs a copy of the launcher with a certificate made for this run; 77 (a
# skip for CTest) when a native build has no Windows launcher.
#   make-signed-launcher.sh <launcher.exe> <signing folder>
set -euo pipefail
launcher=$1
signed=$2
[ -f "$launcher" ] || { echo "SKIP: no Windows launcher at $launcher (build the windows preset first)"; exit 77; }
rm -rf "$signed"
mkdir -p "$signed"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=KVT Resource Tests" \
  -keyout "$signed/signer.key" -out "$signed/signer.pem" 2>/dev/null
osslsigncode sign -certs "$signed/signer.pem" -key "$signed/signer.key" -n "KVT Bootstrapper" \
  -in "$launcher" -out "$signed/signed-launcher.exe" >/dev/null
