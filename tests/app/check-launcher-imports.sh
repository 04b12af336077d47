#!/usr/bin/env bash
# The launcher must start on a bare Windows (GUI subsystem, only Windows' own
# DLLs) and start the game soon: its import table may hold only the DLLs the
# game's start needs (ole32 for the session GUID, advapi32 for the registry);
# the others are delay-loaded (cmake/DelayImports.cmake), listed apart.
set -euo pipefail
exe=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
headers=$("$objdump" -p "$exe")
grep -q 'Subsystem[[:space:]]*00000002' <<<"$headers" || { echo "not a Windows GUI program"; exit 1; }
allowed='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|msvcrt|ws2_32|crypt32|bcrypt|secur32|imagehlp|version|normaliz|wldap32|iphlpapi|shlwapi|rpcrt4|gdi32)\.dll$'
at_start='^(kernel32|msvcrt|ole32|advapi32)\.dll$'
status=0
while read -r dll; do
  if ! grep -qiE "$allowed" <<<"$dll"; then
    echo "imports a DLL that Windows does not ship: $dll"
    status=1
  elif ! grep -qiE "$at_start" <<<"$dll"; then
    echo "loads $dll before the game starts; link its delay-import library instead"
    status=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
exit "$status"
