#!/usr/bin/env bash
# Builds the release of the current commit twice, in two clones whose folders
# differ in name and length, and fails unless the two dist/ folders are the same
# byte for byte, their checksums hold, and no released program holds the path
# of a source, build or dependency-cache folder (both builds share one cache,
# so only a search shows that path). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/build.sh
source scripts/lib/build.sh
kvt_install_deps

commit="$(git rev-parse HEAD)"
work="$(mktemp -d "${TMPDIR:-/tmp}/kvt-reproducible.XXXXXX")"
trap 'rm -rf "$work"' EXIT
for clone in a second-clone; do
  echo "=== building the release of ${commit} in ${work}/${clone}"
  git clone -q --no-checkout . "$work/$clone"
  git -C "$work/$clone" checkout -q --detach "$commit"
  if ! (cd "$work/$clone" && BOOTSTRAPPER_DEPS_READY=1 bash scripts/package.sh >"$work/$clone.log" 2>&1); then
    tail -n 40 "$work/$clone.log" >&2
    exit 1
  fi
done

echo "=== comparing"
diff -r "$work/a/dist" "$work/second-clone/dist"
(cd "$work/a/dist" && sha256sum -c --quiet SHA256SUMS)

mkdir "$work/unpacked"
for package in "$work"/a/dist/*.zip "$work"/a/dist/*.tar.gz; do
  case "$package" in
    *.zip) python3 -m zipfile -e "$package" "$work/unpacked" ;;
    *) tar -xzf "$package" -C "$work/unpacked" ;;
  esac
done
cache="${KVT_DEPS_CACHE:-$HOME/.cache/kvt-deps}"
programs=("$work"/unpacked/*/KVTBootstrapper*.exe "$work"/unpacked/*/kvt-bootstrapper*)
[ "${#programs[@]}" -eq 4 ] || { echo "expected 4 programs in the packages, found: ${programs[*]}" >&2; exit 1; }
if grep -l -a -F -e "$work" -e "$cache" -e "$PWD" "${programs[@]}"; then
  echo "FAILED: the programs above hold the path of a source, build or cache folder" >&2
  exit 1
fi
ls -l "$work/a/dist"
echo "reproducible: both builds of ${commit} are the same, byte for byte; no build path in ${#programs[@]} programs"
