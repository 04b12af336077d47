#!/usr/bin/env bash
# Signs a copy of the launcher with a self-signed certificate made for this run.
#   make-signed-launcher.sh <launcher.exe> <signing folder>
# Ends with 77 (a skip for CTest) when a native build has no Windows launcher.
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
# The starting point must really be signed, or the tests prove nothing.
osslsigncode verify -CAfile "$signed/signer.pem" -in "$signed/signed-launcher.exe" | grep -q "Signature verification: ok"
