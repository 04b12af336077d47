#!/usr/bin/env bash
# Builds the static libcurl that the Windows build links: Schannel for TLS,
# HTTP and HTTPS only, from Debian's own curl source package, cross-compiled
# with the project's mingw-w64 toolchain.
#
# The result lives outside the work tree, keyed by the curl source version and
# a hash of the build options (cmake/curl-windows-options.txt):
#   ${KVT_DEPS_CACHE:-$HOME/.cache/kvt-deps}/curl-<version>-mingw-<options hash>/install
# so that a build made with other options is never taken for this one. A
# second run finds the finished build and returns at once. Runs unattended
# (no stdin) as root or through sudo.
set -euo pipefail

repo_root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$repo_root/cmake/mingw-w64-x86_64.cmake"
options_file="$repo_root/cmake/curl-windows-options.txt"
cache_root="${KVT_DEPS_CACHE:-$HOME/.cache/kvt-deps}"

# http/CMakeLists.txt computes the same key from the same file.
options_key="$(sha256sum "$options_file" | cut -c1-12)"
options=()
while IFS= read -r line; do
  case "$line" in ''|'#'*) continue ;; esac
  options+=("$line")
done <"$options_file"

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo -n)
export DEBIAN_FRONTEND=noninteractive

# The version we want is the one the native build uses, so both builds speak
# the same libcurl. Its source version is known without the network.
want_version="$(dpkg-query -W -f='${source:Version}' libcurl4-openssl-dev 2>/dev/null || true)"

build_dir() { echo "$cache_root/curl-$1-mingw-$options_key"; }
built_marker() { echo "$(build_dir "$1")/.kvt-complete"; }

if [ -n "$want_version" ] && [ -f "$(built_marker "$want_version")" ]; then
  echo "build-curl-windows: curl $want_version for mingw already built in $(build_dir "$want_version")"
  exit 0
fi

# Several builds may call this at once (install-deps runs it): one works, the
# others wait for it and then find the finished build.
mkdir -p "$cache_root"
exec 9>"$cache_root/curl-mingw.lock"
if ! flock -w 1800 9; then
  echo "build-curl-windows: gave up waiting for another build of curl" >&2
  exit 1
fi
if [ -n "$want_version" ] && [ -f "$(built_marker "$want_version")" ]; then
  echo "build-curl-windows: curl $want_version for mingw was built by another run"
  exit 0
fi

# ---- source package -------------------------------------------------------------
# apt-get source needs deb-src entries for the same suites as the binary ones.
# Another process may hold the apt lists lock for a while: wait, boundedly.
apt_update() {
  local attempt
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    if "${sudo_cmd[@]}" apt-get update -qq </dev/null; then
      return 0
    fi
    echo "build-curl-windows: apt-get update failed (attempt $attempt), retrying in 10 s" >&2
    sleep 10
  done
  return 1
}

# Captured first: with pipefail, grep -q closing the pipe early would fail the test.
source_versions() { apt-cache showsrc curl 2>/dev/null | sed -n 's/^Version: //p' || true; }
have_deb_src() { [ -n "$(source_versions)" ]; }

add_deb_src() {
  local target=/etc/apt/sources.list.d/kvt-deb-src.sources
  local tmp
  tmp="$(mktemp)"
  # deb822 files of the Debian archive: the same stanzas with Types: deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$target" ] && continue
    grep -q 'debian' "$f" || continue
    awk 'BEGIN { RS=""; ORS="\n\n" }
      /(^|\n)Types:[^\n]*[ \t]deb([ \t]|\n|$)/ && /URIs:[^\n]*debian/ && !/(^|\n)Enabled:[ \t]*no/ {
        sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print
      }' "$f" >>"$tmp"
  done
  # One-line style entries in sources.list.
  if [ -f /etc/apt/sources.list ]; then
    local lines
    lines="$(sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list)"
    if [ -n "$lines" ]; then
      target_list=/etc/apt/sources.list.d/kvt-deb-src.list
      printf '%s\n' "$lines" | "${sudo_cmd[@]}" tee "$target_list" >/dev/null
    fi
  fi
  if [ -s "$tmp" ]; then
    "${sudo_cmd[@]}" install -m 0644 "$tmp" "$target"
  fi
  rm -f "$tmp"
}

if ! have_deb_src; then
  echo "build-curl-windows: adding deb-src entries for the machine's Debian suites"
  add_deb_src
  apt_update
fi
if ! have_deb_src; then
  # Present but stale lists: one refresh.
  apt_update
fi
have_deb_src || { echo "build-curl-windows: no curl source package available" >&2; exit 1; }

# Prefer the exact version of the native libcurl; any available one otherwise.
versions="$(source_versions)"
if [ -n "$want_version" ] && printf '%s\n' "$versions" | grep -qxF "$want_version"; then
  version="$want_version"
else
  version="$(printf '%s\n' "$versions" | sort -V | tail -n 1)"
  echo "build-curl-windows: curl $want_version has no source package here, using $version" >&2
fi

work="$(build_dir "$version")"
if [ -f "$work/.kvt-complete" ]; then
  echo "build-curl-windows: curl $version for mingw already built in $work"
  exit 0
fi

# A half-finished earlier attempt is started over.
rm -rf "$work"
mkdir -p "$work/src"
echo "build-curl-windows: fetching the curl $version source package"
(cd "$work/src" && apt-get source -qq "curl=$version" </dev/null >/dev/null)
src_dir="$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -n 1)"
[ -n "$src_dir" ] && [ -f "$src_dir/CMakeLists.txt" ] || { echo "build-curl-windows: unpacked source not found" >&2; exit 1; }

# ---- configure and build -----------------------------------------------------------
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
echo "build-curl-windows: configuring (takes a minute or two)"
# @CURL_BUILD_ROOT@ in the options stands for this folder (see the options file).
cmake -S "$src_dir" -B "$work/build" "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$work/install" \
  "${options[@]//@CURL_BUILD_ROOT@/$work}" \
  </dev/null >"$work/configure.log" 2>&1 || { tail -n 40 "$work/configure.log" >&2; exit 1; }

echo "build-curl-windows: building"
cmake --build "$work/build" </dev/null >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" </dev/null >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }

[ -f "$work/install/lib/libcurl.a" ] || { echo "build-curl-windows: libcurl.a missing after install" >&2; exit 1; }
# The sources and objects are not needed once installed.
rm -rf "$work/src" "$work/build"
touch "$work/.kvt-complete"
echo "build-curl-windows: done: $work/install"
