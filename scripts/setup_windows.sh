#!/usr/bin/env bash
# Installs what the Windows build needs from Debian's packages (only what is missing: MinGW-w64,
# Wine with its 32-bit part, Wine's IDL files for widl, GoogleTest's sources, Linux's key codes for
# recordings, Xvfb with xdotool, xwd and netpbm for the host's window tests and their screenshots,
# the Russian and English locales) and configures and builds one Windows tree.
# Usage: scripts/setup_windows.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive

# Wine runs 32-bit programs with its i386 part.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
  $sudo_cmd apt-get update -qq
fi
packages=(
  cmake ninja-build ccache dpkg-dev
  g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev googletest linux-libc-dev
  wine wine32 wine64 libwine-dev
  xvfb xdotool x11-apps netpbm locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes the user's language and code page (1251 or 1252) from LC_ALL.
for locale in ru_RU en_US; do
  if ! locale -a | grep -qx "${locale}.utf8"; then
    $sudo_cmd sed -i "s/^# *${locale}.UTF-8 UTF-8/${locale}.UTF-8 UTF-8/" /etc/locale.gen
    $sudo_cmd locale-gen >/dev/null
  fi
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:?build directory}"
shift
mkdir -p "$build"
build="$(cd "$build" && pwd)"

# Google Benchmark has no MinGW package: its Debian source package is built with the rest.
if [ ! -f "$build/benchmark-source/CMakeLists.txt" ]; then
  if ! apt-get source --print-uris -qq benchmark >/dev/null 2>&1; then
    $sudo_cmd tee /etc/apt/sources.list.d/quill-deb-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    $sudo_cmd apt-get update -qq
  fi
  rm -rf "$build/benchmark-fetch"
  mkdir -p "$build/benchmark-fetch"
  (cd "$build/benchmark-fetch" && apt-get source -qq benchmark >/dev/null 2>&1)
  rm -rf "$build/benchmark-source"
  mv "$build/benchmark-fetch"/benchmark-*/ "$build/benchmark-source"
  rm -rf "$build/benchmark-fetch"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
      -DQUILL_BENCHMARK_SOURCE="$build/benchmark-source" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
