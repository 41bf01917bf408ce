#!/usr/bin/env bash
# Builds the browser game into build/web/play with Debian's emscripten:
#   scripts/build_web.sh NATIVE_BUILD_DIR
# NATIVE_BUILD_DIR is a configured native build (build/release, build/test):
# its munchet-tune-render renders the tune, which the browser cannot play as
# a tracker module. zlib comes from Debian's source package, fetched once
# into a cache (MUNCHET_WEB_CACHE, else ~/.cache/munchet-web) without
# touching the system's apt set-up.
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:?usage: scripts/build_web.sh NATIVE_BUILD_DIR}
cache=${MUNCHET_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/munchet-web}
# Debian's emscripten finds its JavaScript libraries (acorn) only there.
export NODE_PATH=/usr/share/nodejs

zlib=$cache/zlib
if [ ! -f "$zlib/zlib.h" ]; then
  echo "build_web.sh: fetching zlib's Debian source package into $cache"
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/lists/partial" "$scratch/archives/partial" "$scratch/source"
  source_list=$scratch/sources.list
  # The system's own mirrors, as source entries.
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "deb-src http://deb.debian.org/debian $suite main" >"$source_list"
  apt_options=(-o "Dir::Etc::SourceList=$source_list" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$scratch/lists" -o "Dir::Cache::Archives=$scratch/archives" -q)
  apt-get "${apt_options[@]}" update >/dev/null
  (cd "$scratch/source" && apt-get "${apt_options[@]}" source --download-only zlib >/dev/null)
  dpkg-source --no-check -x "$scratch"/source/zlib_*.dsc "$scratch/zlib" >/dev/null
  mkdir -p "$cache"
  rm -rf "$zlib"
  mv "$scratch/zlib" "$zlib"
fi

cmake --build "$native" --target munchet-tune-render -j"$(nproc)"
tune=build/web/data/stardust.xm.ogg
mkdir -p "$(dirname "$tune")"
if [ ! -s "$tune" ] || [ data/stardust.xm -nt "$tune" ]; then
  "$native/tools/tune_render/munchet-tune-render" data/stardust.xm "$tune"
fi

emcmake cmake -S . -B build/web -DCMAKE_BUILD_TYPE=Release -DMUNCHET_ZLIB_SOURCE="$zlib" \
  -DMUNCHET_WEB_TUNE="$PWD/$tune" ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
cmake --build build/web -j"$(nproc)"
echo "build_web.sh: the browser game is in build/web/play"
