#!/usr/bin/env bash
# Builds the release packages into dist/:
#   kvt-bootstrapper-<version>-windows-x64.zip     the Windows tool and launcher
#   kvt-bootstrapper-<version>-linux-x86_64.tar.gz the Linux tool and launcher
#   SHA256SUMS                                     over both
#   BUILDINFO                                      the commit and the toolchain
# Each package also holds the studio guide (release/GUIDE.md), the notices of
# the libraries inside the programs, and BUILDINFO. Two runs on the same
# commit with the same Debian packages give the same bytes
# (scripts/check-reproducible.sh). Installs what is missing first.
#
#   bash scripts/package.sh [-D<setting>=<value>...]
# Arguments are passed to CMake when both release builds are configured, for
# example -DKVT_VERSION_TAG=++KVTSDK+Release-2.1-CL-1234 or
# -DKVT_TELEMETRY_URL=https://telemetry.example.com; the build folders
# (build/release-windows, build/release-linux) keep them for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh

kvt_install_deps

# Every time stamp of the release is the commit's (GCC reads it too).
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
export SOURCE_DATE_EPOCH
commit="$(git rev-parse HEAD)"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  commit="$commit, with uncommitted changes"
fi

# The Windows build first: the Linux tool carries its launcher.
for preset in release-windows release-linux; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" "$@" >/dev/null
  cmake --build --preset "$preset"
done
win=build/release-windows
lin=build/release-linux

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$win/CMakeCache.txt"; }
tag="$(cache_value KVT_VERSION_TAG)"
version="$(printf '%s' "$tag" | sed -E 's/^\+\+KVTSDK\+Release-([0-9]+\.[0-9]+)-CL-([0-9]+)$/\1-cl\2/')"
# The Windows libcurl's folder: curl-<Debian version>-mingw-<options hash>/install.
curl_version="$(cache_value KVT_CURL_WINDOWS_ROOT | sed -E 's|.*/curl-(.*)-mingw-[0-9a-f]+/install$|\1|')"
[ "$tag" = "$(sed -n 's/^KVT_VERSION_TAG:[A-Z]*=//p' "$lin/CMakeCache.txt")" ] ||
  { echo "package: the two release builds have different version tags" >&2; exit 1; }

rm -rf dist build/package
mkdir -p dist build/package
stage_win="build/package/kvt-bootstrapper-${version}-windows-x64"
stage_lin="build/package/kvt-bootstrapper-${version}-linux-x86_64"
mkdir -p "$stage_win" "$stage_lin"

# The launchers are the stripped copies that the tools carry and write. A PE
# file keeps the linker's empty time stamp (app/CMakeLists.txt says why).
cp "$win/app/embedded/KVTBootstrapper.exe" "$stage_win/"
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$stage_win/KVTBootstrapperTool.exe" "$win/bin/KVTBootstrapperTool.exe"
cp "$lin/app/embedded/kvt-bootstrapper" "$stage_lin/"
strip -o "$stage_lin/kvt-bootstrapper-tool" "$lin/bin/kvt-bootstrapper-tool"

# The Linux programs run on the oldest glibc the guide promises, and no newer one is needed.
ceiling="$(sed -n 's/^ceiling=//p' scripts/lib/check-glibc.sh)"
bash scripts/lib/check-glibc.sh "$stage_lin"/* ||
  { echo "package: a Linux program needs a glibc newer than ${ceiling}" >&2; exit 1; }
grep -q "glibc ${ceiling} or newer" release/GUIDE.md ||
  { echo "package: release/GUIDE.md does not promise glibc ${ceiling}" >&2; exit 1; }
if readelf -d "$stage_lin"/* | grep NEEDED | grep -v -E '\[(libc\.so\.6|ld-linux-x86-64\.so\.2)\]'; then
  echo "package: the Linux programs need a library that release/GUIDE.md does not name (above)" >&2
  exit 1
fi
# The tools write the very launchers that are shipped beside them.
probe="$(mktemp -d)"
tool="$PWD/$stage_lin/kvt-bootstrapper-tool"
(cd "$probe" && export XDG_STATE_HOME="$probe/state" && "$tool" -o L.exe -a G.exe >/dev/null && "$tool" -o L -a G >/dev/null)
cmp "$probe/L.exe" "$stage_win/KVTBootstrapper.exe" && cmp "$probe/L" "$stage_lin/kvt-bootstrapper"
rm -rf "$probe"

{
  echo "KVT Bootstrapper ${tag}"
  echo "commit: ${commit}"
  echo "SOURCE_DATE_EPOCH: ${SOURCE_DATE_EPOCH}"
  echo "telemetry: $(cache_value KVT_TELEMETRY_URL)"
  echo "built on Debian $(cat /etc/debian_version) with these packages:"
  dpkg-query -W -f='  ${Package} ${Version}\n' g++-12 g++-mingw-w64-x86-64-posix binutils binutils-mingw-w64-x86-64 \
    mingw-w64-x86-64-dev libc6-dev libstdc++-12-dev rapidjson-dev libcurl4-openssl-dev cmake ninja-build python3
  echo "  curl (source package of the Windows libcurl) ${curl_version}"
} >build/package/BUILDINFO

notices=build/package/THIRD-PARTY-NOTICES.txt
{
  echo "Third-party software in the KVT Bootstrapper programs. The Linux configure tool"
  echo "carries the Windows launcher, so both packages hold all of it. Each licence text"
  echo "below is the copyright file of the Debian package the programs were built from."
  echo
  echo "- libcurl: linked into the Windows programs (the Linux launcher loads the system's)"
  echo "- RapidJSON: compiled into every program"
  echo "- mingw-w64 runtime and winpthreads: linked into the Windows programs"
  echo "- GCC runtime libraries (libstdc++, libgcc), mingw-w64 build: linked into the Windows programs"
  echo "- GCC runtime libraries (libstdc++, libgcc): linked into the Linux programs"
  for entry in "libcurl:libcurl4-openssl-dev" "RapidJSON:rapidjson-dev" \
    "mingw-w64 runtime and winpthreads:mingw-w64-x86-64-dev" \
    "GCC runtime libraries, mingw-w64 build:gcc-mingw-w64-x86-64-posix-runtime" \
    "GCC runtime libraries:libstdc++-12-dev"; do
    printf '\n\n==== %s (Debian package %s)\n\n' "${entry%%:*}" "${entry#*:}"
    cat "/usr/share/doc/${entry#*:}/copyright"
  done
} >"$notices"

for stage in "$stage_win" "$stage_lin"; do
  cp release/GUIDE.md "$notices" build/package/BUILDINFO "$stage/"
done
python3 scripts/lib/archive.py "dist/$(basename "$stage_win").zip" "$stage_win" "$SOURCE_DATE_EPOCH"
python3 scripts/lib/archive.py "dist/$(basename "$stage_lin").tar.gz" "$stage_lin" "$SOURCE_DATE_EPOCH"
cp build/package/BUILDINFO dist/
(cd dist && sha256sum -- *.zip *.tar.gz >SHA256SUMS)

echo "=== dist/"
(cd dist && ls -l && cat SHA256SUMS)
