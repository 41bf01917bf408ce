#!/usr/bin/env bash
# Installs what is missing, builds, starts a local score server and plays.
# Arguments go to the game (for example /WINDOW). Exits with the game's status.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
munchet_install "${munchet_packages[@]}"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMUNCHET_BUILD_TESTS=OFF -DMUNCHET_BUILD_BENCH=OFF
cmake --build build/release -j"$(nproc)" --target munchet munchet-scores

# The browser game too, when Debian's emscripten is there to build it: the
# score server below then serves it at /play/.
play_files=()
if command -v emcc >/dev/null; then
  if bash scripts/build_web.sh build/release; then
    play_files=(--play-files build/web/play)
  else
    echo "play.sh: the browser game did not build; playing on without it" >&2
  fi
fi

# The game's default score server is this machine's, port 8642.
mkdir -p var
log=var/score-server.log
port_file=var/score-server.port
rm -f "$port_file"
build/release/server/munchet-scores --listen 127.0.0.1:8642 --db var/scores.db --port-file "$port_file" \
  "${play_files[@]}" 2>>"$log" &
server=$!
stop_server() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}
trap stop_server EXIT

# The server writes the port file once it listens. When it cannot (the port
# is taken, often by another copy of ours), the game still plays: it talks to
# whatever answers on that port.
for _ in $(seq 50); do
  [ -s "$port_file" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "play.sh: the score server did not start: $(tail -n 1 "$log")" >&2
    echo "play.sh: playing on; scores go to whatever listens on 127.0.0.1:8642 (log: $log)" >&2
    break
  fi
  sleep 0.1
done
if kill -0 "$server" 2>/dev/null && [ ! -s "$port_file" ]; then
  echo "play.sh: the score server is not listening yet after 5 s; playing on (log: $log)" >&2
fi

if [ ${#play_files[@]} -gt 0 ] && [ -s "$port_file" ]; then
  echo "play.sh: the game in a browser, and its highscores: http://127.0.0.1:$(cat "$port_file")/play/"
fi

status=0
build/release/app/munchet "$@" || status=$?
exit "$status"
