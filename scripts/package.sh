#!/usr/bin/env bash
# Builds the Debian package quill_<version>_<arch>.deb: a release tree of the products alone
# (no tests, no benchmarks) configured for /usr, then CPack's DEB generator, whose dependencies
# dpkg-shlibdeps finds. Prints the package's path last.
# Usage: scripts/package.sh [BUILD_DIR]        (default: build-package)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-package}"

# CPack's DEB generator asks file(1) which files are ELF objects and dpkg-shlibdeps what they need.
missing=()
for p in file dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

launchers=()
command -v ccache >/dev/null && launchers=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUILL_TESTS=OFF -DQUILL_BENCH=OFF "${launchers[@]}"
rm -f "$build"/quill_*.deb
# CPack's own notes (modules without a soname stay out of the shlibs file, as they should) go to
# a log; it is shown when packaging fails.
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
ls "$build"/quill_*.deb
