#!/usr/bin/env bash
# Builds the .deb from a configured and built build folder, installs it with
# dpkg as a user would, checks the installed programs run, and removes it
# again. It changes the system, so CI runs it (as root), not ctest.
# Usage: packaging/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: check_deb.sh BUILD_DIR}")

if dpkg-query -W -f='${Status}' munchet 2>/dev/null | grep -q "install ok installed"; then
  echo "check_deb: munchet is already installed here; not touching it" >&2
  exit 1
fi

(cd "$build" && rm -f munchet_*.deb && cpack -G DEB)
deb=$(ls "$build"/munchet_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "check_deb: $(basename "$deb") depends on: $depends"
# The dependencies come from the libraries the programs link.
case "$depends" in
  *libsdl2-2.0-0*libsqlite3*) ;;
  *) echo "check_deb: the dependencies were not worked out from the shared libraries" >&2; exit 1 ;;
esac

trap 'dpkg -r munchet >/dev/null 2>&1 || true' EXIT
dpkg -i "$deb"
version=$(/usr/bin/munchet --version)
echo "check_deb: $version"
[ "$version" = "munchet (Munchet Fast Prototype) $(dpkg-deb -f "$deb" Version)" ]
/usr/bin/munchet-scores --help >/dev/null
for file in /usr/share/munchet/data/ghost.png /usr/lib/systemd/system/munchet-scores.service \
  /usr/share/man/man6/munchet.6 /usr/share/doc/munchet/copyright; do
  [ -f "$file" ] || { echo "check_deb: $file is missing" >&2; exit 1; }
done
# The browser game goes in when the build named its files.
web=$(sed -n 's/^MUNCHET_WEB_FILES:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -n "$web" ] && [ -f "$web/munchet.wasm" ]; then
  for name in index.html munchet.wasm; do
    if [ ! -f "/usr/share/munchet/web/$name" ]; then
      echo "check_deb: /usr/share/munchet/web/$name is missing" >&2
      exit 1
    fi
  done
  # And the installed server serves it at /play/ from there, unasked.
  scratch=$(mktemp -d)
  trap 'kill "$server" 2>/dev/null || true; rm -rf "$scratch"; dpkg -r munchet >/dev/null 2>&1 || true' EXIT
  /usr/bin/munchet-scores --listen 127.0.0.1:0 --db "$scratch/scores.db" --port-file "$scratch/port" \
    2>"$scratch/log" &
  server=$!
  for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done
  exec 3<>"/dev/tcp/127.0.0.1/$(cat "$scratch/port")"
  printf 'HEAD /play/munchet.wasm HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' >&3
  answer=$(timeout 5 cat <&3 | tr -d '\r')
  exec 3<&-
  kill "$server"
  wait "$server" 2>/dev/null || true
  case "$answer" in
    "HTTP/1.1 200"*"Content-Type: application/wasm"*) echo "check_deb: the installed server serves the browser game" ;;
    *) echo "check_deb: /play/munchet.wasm from the installed server: $answer $(cat "$scratch/log")" >&2; exit 1 ;;
  esac
  rm -rf "$scratch"
  trap 'dpkg -r munchet >/dev/null 2>&1 || true' EXIT
fi

dpkg -r munchet
trap - EXIT
if dpkg-query -W -f='${Status}' munchet 2>/dev/null | grep -q " ok installed"; then
  echo "check_deb: munchet is still installed after dpkg -r" >&2
  exit 1
fi
for file in /usr/bin/munchet /usr/bin/munchet-scores /usr/share/munchet; do
  [ ! -e "$file" ] || { echo "check_deb: $file is left after dpkg -r" >&2; exit 1; }
done
echo "check_deb: installed, ran and removed $(basename "$deb")"
