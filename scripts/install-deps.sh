#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config python3 openssl
  googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  libcurl4-openssl-dev rapidjson-dev
  icoutils osslsigncode pev lld  # icons, signatures, PE checks and resource-only test files
  dpkg-dev xz-utils  # apt-get source unpacks curl for the Windows libcurl
  clang libclang-rt-14-dev  # libFuzzer and the sanitizers of the PE reader's fuzz target
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "install-deps: all packages present"
fi

# The Windows build links a static libcurl of its own; it is built once and cached.
if [ -x "$(dirname "$0")/build-curl-windows.sh" ]; then
  "$(dirname "$0")/build-curl-windows.sh"
fi
