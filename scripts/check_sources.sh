#!/usr/bin/env bash
# Cheap checks of the source tree, run before anything is built:
#  1. every C++ file is formatted by the repository's .clang-format;
#  2. only the engine's platform backend (engine/sdl/) includes SDL, OpenAL,
#     alsa-lib, libsndfile or libopenmpt; besides it only the data generators
#     (tools/), the backend's own tests and benchmark may; only the browser's
#     backend (engine/web/) includes emscripten's headers and its OpenGL ES;
#     and each of the score server's libraries (libmicrohttpd, GnuTLS,
#     nettle, SQLite, libpq) is included only by the server's part built on
#     it, the tests and the benchmarks;
#  3. the layers include only downward:
#     app -> render, scores, replay -> game -> common -> engine's core; app
#     alone may reach engine/sdl/ and engine/web/ (to hand the platform to
#     the engine);
#     the server's parts: http -> web -> store, admin -> sqlite, pg -> sql ->
#     store -> replay; its command line (server/) above them all; the tools
#     above the game's layers; benchmarks and fuzz targets above everything
#     but each other (benchmarks may borrow the tests' fixtures).
# Exits non-zero, naming each offending file, when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t sources < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||')
fi
failed=0

echo "== format (clang-format $(clang-format --version | grep -oE '[0-9]+\.[0-9.]+' | head -n1))"
if ! clang-format --dry-run -Werror "${sources[@]}"; then
  echo "formatting differs: run clang-format -i on the files named above" >&2
  failed=1
fi

echo "== platform headers"
platform_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](SDL[^>"]*|AL/[^>"]*|alsa/[^>"]*|sndfile[^>"]*|libopenmpt/[^>"]*)[>"]'
may_include_platform='^(engine/sdl/|tools/|tests/engine/|tests/tools/|bench/engine_bench\.cpp$)'
for file in "${sources[@]}"; do
  [[ $file =~ $may_include_platform ]] && continue
  if grep -nE "$platform_include" "$file" >/dev/null; then
    grep -nE "$platform_include" "$file" | sed "s|^|$file:|" >&2
    failed=1
  fi
done
web_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](emscripten[^>"]*|GLES2/[^>"]*|EGL/[^>"]*)[>"]'
for file in "${sources[@]}"; do
  [[ $file == engine/web/* ]] && continue
  if grep -nE "$web_include" "$file" >/dev/null; then
    grep -nE "$web_include" "$file" | sed "s|^|$file:|" >&2
    failed=1
  fi
done

# Each library the server is built on, and the folders that may include it.
declare -A server_library=(
  ['microhttpd\.h']='^(server/http/|bench/|tests/)'
  ['gnutls/']='^(server/http/|tests/server/)'
  ['nettle/']='^(server/store/)'
  ['libpq-fe\.h']='^(server/(sql|pg)/|tests/server/)'
  ['sqlite3\.h']='^(server/(sql|sqlite|admin)/|bench/|tests/(server|e2e|web)/)'
)
for header in "${!server_library[@]}"; do
  pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]$header"
  for file in "${sources[@]}"; do
    [[ $file =~ ${server_library[$header]} ]] && continue
    if grep -nE "$pattern" "$file" >/dev/null; then
      grep -nE "$pattern" "$file" | sed "s|^|$file:|" >&2
      failed=1
    fi
  done
done

echo "== layers"
# The folders each layer's own includes may name ("engine" is the core).
game_layers="engine engine/sdl engine/web common game render scores replay app"
server_parts="server/store server/sql server/sqlite server/pg server/web server/http server/admin server"
declare -A allowed=(
  [engine]="engine"
  [engine/sdl]="engine engine/sdl"
  [engine/web]="engine engine/web"
  [common]="engine common"
  [game]="engine common game"
  [render]="engine common game render"
  [scores]="engine common game scores"
  [replay]="engine common game replay"
  [app]="$game_layers"
  [server/store]="engine common game replay server/store"
  [server/sql]="engine common game replay server/store server/sql"
  [server/sqlite]="engine common game replay server/store server/sql server/sqlite"
  [server/pg]="engine common game replay server/store server/sql server/pg"
  [server/web]="engine common game replay server/store server/web"
  [server/http]="engine common game replay server/store server/web server/http"
  [server/admin]="engine common game replay server/store server/sql server/sqlite server/pg server/admin"
  [server]="engine common game replay $server_parts"
  [bench]="$game_layers $server_parts bench tests"
  [fuzz]="$game_layers $server_parts fuzz"
)
# The folder a file or an include belongs to: the server's parts and the
# tools are one each, the engine's backend is its own, anything else goes by
# its top folder.
layer_of() {
  case $1 in
    engine/sdl/*) echo engine/sdl ;;
    engine/web/*) echo engine/web ;;
    server/*/*) echo "${1%/*}" | cut -d/ -f1-2 ;;
    tools/*/*) echo "${1%/*}" | cut -d/ -f1-2 ;;
    *) echo "${1%%/*}" ;;
  esac
}
for file in "${sources[@]}"; do
  layer=$(layer_of "$file")
  case $layer in
    tools/*) allowed[$layer]="$game_layers $layer" ;;  # the game's layers and its own folder
    tests | docs | scripts | packaging | data) continue ;;
  esac
  [[ -v allowed[$layer] ]] || continue
  while IFS= read -r included; do
    # An include written relative to the file names the folder it resolves to.
    [[ $included == ../* || $included == ./* ]] && included=$(realpath -m --relative-to=. "${file%/*}/$included")
    folder=$(layer_of "$included")
    if [[ " ${allowed[$layer]} " != *" $folder "* ]]; then
      echo "$file: includes $included, above or beside its layer ($layer)" >&2
      failed=1
    fi
  done < <(grep -oE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/[^"]+"' "$file" | sed -E 's/.*"(.*)"/\1/')
done

exit "$failed"
