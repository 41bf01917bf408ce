#!/usr/bin/env bash
# Installs what is missing, checks the sources (format, platform headers,
# layers), builds everything and runs every test, then runs each fuzz target
# for a short, bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
munchet_install "${munchet_packages[@]}" "${munchet_test_packages[@]}"
bash scripts/check_sources.sh

# The browser tests load the browser game from build/web/play.
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMUNCHET_WEB_FILES="$PWD/build/web/play"
cmake --build build/test -j"$(nproc)"
bash scripts/build_web.sh build/test
(cd build/test && ctest --output-on-failure -j"$(nproc)" --timeout 600)

# Fuzz targets: clang's libFuzzer, a short run each over the untrusted-input parsers.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMUNCHET_FUZZ=ON \
  -DMUNCHET_BUILD_TESTS=OFF -DMUNCHET_BUILD_BENCH=OFF
cmake --build build/fuzz -j"$(nproc)" --target fuzz_targets
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  echo "== $(basename "$target") (${MUNCHET_FUZZ_SECONDS:-20} s)"
  "$target" -max_total_time="${MUNCHET_FUZZ_SECONDS:-20}" -max_len=4096 -print_final_stats=0 2>&1 | tail -n 3
done
