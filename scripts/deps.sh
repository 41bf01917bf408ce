# Installs the Debian 12 packages the game, the score server and the tests
# need, asking apt only for those that are missing. Sourced by play.sh and
# test.sh.
munchet_packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev fonts-dejavu-core
  libopenal-dev libsndfile1-dev libopenmpt-dev libasound2-dev
  libcurl4-openssl-dev libsqlite3-dev libmicrohttpd-dev libgnutls28-dev libpq-dev zlib1g-dev nettle-dev
)
munchet_test_packages=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format xvfb xdotool
  desktop-file-utils appstream systemd groff-base dpkg-dev file
  chromium nlohmann-json3-dev postgresql libmpfr-dev x11-xkb-utils xkb-data
  python3-prometheus-client gnutls-bin emscripten
)

munchet_install() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
