#!/usr/bin/env bash
# Cheap checks of the source tree, run before anything is built:
#  1. every C++ file is formatted by the repository's .clang-format;
#  2. only the engine's platform backend (engine/sdl/) includes SDL, OpenAL,
#     libsndfile or libopenmpt; besides it only the data generators (tools/),
#     the backend's own tests and benchmark may;
#  3. the layers include only downward:
#     app -> render, scores, replay -> game -> common -> engine's core; app
#     alone may reach engine/sdl/ (to hand the platform to the engine).
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
platform_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](SDL[^>"]*|AL/[^>"]*|sndfile[^>"]*|libopenmpt/[^>"]*)[>"]'
may_include_platform='^(engine/sdl/|tools/|tests/engine/|tests/tools/|bench/engine_bench\.cpp$)'
for file in "${sources[@]}"; do
  [[ $file =~ $may_include_platform ]] && continue
  if grep -nE "$platform_include" "$file" >/dev/null; then
    grep -nE "$platform_include" "$file" | sed "s|^|$file:|" >&2
    failed=1
  fi
done

echo "== layers"
# The folders each layer's own includes may name ("engine" is the core).
declare -A allowed=(
  [engine]="engine"
  [engine/sdl]="engine engine/sdl"
  [common]="engine common"
  [game]="engine common game"
  [render]="engine common game render"
  [scores]="engine common game scores"
  [replay]="engine common game replay"
  [app]="engine engine/sdl common game render scores replay app"
)
for file in "${sources[@]}"; do
  case $file in
    engine/sdl/*) layer=engine/sdl ;;
    engine/* | common/* | game/* | render/* | scores/* | replay/* | app/*) layer=${file%%/*} ;;
    *) continue ;;
  esac
  while IFS= read -r included; do
    folder=${included%/*}
    [[ $folder == engine/sdl* ]] && folder=engine/sdl
    [[ $folder != engine/sdl ]] && folder=${folder%%/*}
    if [[ " ${allowed[$layer]} " != *" $folder "* ]]; then
      echo "$file: includes $included, above or beside its layer ($layer)" >&2
      failed=1
    fi
  done < <(grep -oE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/[^"]+"' "$file" | sed -E 's/.*"(.*)"/\1/')
done

exit "$failed"
