#!/usr/bin/env bash
# Installs what is missing, builds, starts a local score server and plays.
# Arguments go to the game (for example /WINDOW).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
munchet_install "${munchet_packages[@]}"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMUNCHET_BUILD_TESTS=OFF -DMUNCHET_BUILD_BENCH=OFF
cmake --build build/release -j"$(nproc)" --target munchet munchet-scores

# The game's default score server is this machine's, port 8642.
mkdir -p var
build/release/server/munchet-scores --listen 127.0.0.1:8642 --db var/scores.db 2>>var/score-server.log &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT

build/release/app/munchet "$@"
