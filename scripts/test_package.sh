#!/usr/bin/env bash
# The Debian package on a fresh Debian 12 machine: builds it (scripts/package.sh), checks that its
# dependencies are the ones dpkg-shlibdeps found, then, in a fresh root made with debootstrap
# (minbase) from Debian's packages, installs it with apt-get (which must pull those dependencies),
# runs quill-host as root and as an unprivileged user, runs the example host built against the
# installed headers and quill.pc, upgrades over an older version, removes and purges it, and
# checks what each step must keep and drop. The root is thrown away at the end: this machine is
# left as it was (its own /var/lib/OrvixEquipment, groups and udev rules are never touched).
#
# Needs root (debootstrap, chroot) and the network for apt; without root it says so and skips.
# The first run keeps the fresh root as a tarball in BUILD_DIR/package-test/ (about 200 MB; a
# week at most), so later runs start from an identical fresh root in seconds.
# Usage: scripts/test_package.sh [BUILD_DIR]        (default: build-package)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-package}"

if [ "$(id -u)" -ne 0 ]; then
  echo "package test skipped: installing into a fresh root needs root (debootstrap, chroot, mount)"
  exit 0
fi
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

deb="$("$root/scripts/package.sh" "$build" | tail -n 1)"
echo "== package test: $deb =="
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
expect() { # expect DESCRIPTION COMMAND...: the command succeeds
  local what="$1"; shift
  "$@" >/dev/null 2>&1 || fail "$what"
}

# Dependencies: what the binaries link, as dpkg-shlibdeps found it (passwd is the maintainer
# scripts' groupadd).
depends="$(dpkg-deb -f "$deb" Depends)"
for p in libc6 libstdc++6 libgcc-s1 libxml2 libevdev2 libdeflate0 zlib1g libfltk1.3 libx11-6; do
  [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p: $depends"
done
[[ "$depends" == *"libc6 (>= "* ]] || fail "Depends has no versioned libc6 (not found by dpkg-shlibdeps?): $depends"
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/quill/Quill.ini ] ||
  fail "the tuning file is not the package's conffile"

# A fresh root: debootstrap once, then the same root unpacked afresh from its tarball.
cache="$build/package-test/bookworm-minbase.tar"
mkdir -p "$build/package-test"
if [ ! -f "$cache" ] || [ -n "$(find "$cache" -mtime +7)" ]; then
  seed="$(mktemp -d /tmp/quill-debootstrap.XXXXXX)"
  debootstrap --variant=minbase bookworm "$seed" http://deb.debian.org/debian >"$build/package-test/debootstrap.log" 2>&1 ||
    { tail -n 20 "$build/package-test/debootstrap.log" >&2; rm -rf "$seed"; exit 1; }
  tar -C "$seed" -cf "$cache.part" . && mv "$cache.part" "$cache"
  rm -rf "$seed"
fi
chroot_dir="$(mktemp -d /tmp/quill-package-test.XXXXXX)"
cleanup() {
  mountpoint -q "$chroot_dir/proc" && umount "$chroot_dir/proc"
  rm -rf "$chroot_dir"
}
trap cleanup EXIT
tar -C "$chroot_dir" -xf "$cache"
chmod 755 "$chroot_dir" # it is the root: every user of it must reach /
mount -t proc proc "$chroot_dir/proc" # quill-host finds itself through /proc/self/exe
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
in_root() { chroot "$chroot_dir" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root DEBIAN_FRONTEND=noninteractive "$@"; }

# The "older version": the same files under a lower version number, to upgrade from.
version="$(dpkg-deb -f "$deb" Version)"
older_dir="$(mktemp -d /tmp/quill-older.XXXXXX)"
dpkg-deb -R "$deb" "$older_dir/root"
sed -i "s/^Version: .*/Version: ${version%.*}.0/" "$older_dir/root/DEBIAN/control"
dpkg-deb -b "$older_dir/root" "$chroot_dir/tmp/quill_older.deb" >/dev/null
rm -rf "$older_dir"
cp "$deb" "$chroot_dir/tmp/quill_new.deb"

in_root apt-get update -qq >/dev/null
in_root apt-get install -y -qq --no-install-recommends /tmp/quill_older.deb >"$build/package-test/apt.log" 2>&1 ||
  { tail -n 30 "$build/package-test/apt.log" >&2; fail "apt-get install of the package"; exit 1; }

# A working quill-host, as root and as a user without privileges (the shared log folder).
out="$(in_root quill-host --version)" || fail "quill-host --version"
[[ "$out" == "quill-host ${version}"* ]] || fail "quill-host --version said: $out"
[[ "$out" == *"plug-in: /usr/lib/x86_64-linux-gnu/quill/Quill.plu"* ]] || fail "plug-in place: $out"
out="$(in_root quill-host --keys '+++12345+++ok' --interval 1 --settle 300 </dev/null 2>&1)" || fail "quill-host --keys: $out"
[[ "$out" == *"data=12345"* && "$out" == *"typed: ok"* ]] || fail "no scan event from the installed host: $out"
out="$(chroot --userspec=nobody:nogroup "$chroot_dir" env -i PATH=/usr/bin:/bin HOME=/nonexistent \
        quill-host --keys '+++6+++' --interval 1 --settle 300 </dev/null 2>&1)" || fail "quill-host as nobody: $out"
[[ "$out" == *"data=6"* ]] || fail "no scan event for an unprivileged user: $out"
[ "$(stat -c %a "$chroot_dir/var/lib/OrvixEquipment/LOGs")" = 1777 ] || fail "the shared log folder is not 1777"
logs_before="$(cd "$chroot_dir/var/lib/OrvixEquipment" && find . -type f | sort)"
[ -n "$logs_before" ] || fail "no log was written"
expect "the group quill" in_root getent group quill
expect "the udev rule" test -f "$chroot_dir/lib/udev/rules.d/70-quill-scanners.rules"
expect "the manual page" test -f "$chroot_dir/usr/share/man/man1/quill-host.1"

# The example host, built here against the installed headers, quill.pc and run-time alone, runs
# there.
export PKG_CONFIG_SYSROOT_DIR="$chroot_dir" PKG_CONFIG_LIBDIR="$chroot_dir/usr/lib/x86_64-linux-gnu/pkgconfig"
c++ -std=c++20 -Wall -Wextra -Werror "$chroot_dir/usr/share/doc/quill/examples/example_host.cpp" \
  $(pkg-config --cflags --libs quill) -Wl,-rpath-link,"$chroot_dir/usr/lib/x86_64-linux-gnu" \
  -o "$chroot_dir/tmp/example-host" || fail "the example host did not build against the package"
unset PKG_CONFIG_SYSROOT_DIR
plugindir="$(pkg-config --variable=plugindir quill)"
unset PKG_CONFIG_LIBDIR
out="$(in_root /tmp/example-host "$plugindir/Quill.plu" '+++4006+++' 2>&1)" || fail "the example host: $out"
[[ "$out" == *"data=4006"* ]] || fail "the example host printed no event: $out"

# Settings and logs survive an upgrade.
echo "KeyDriblingTime=350" >>"$chroot_dir/etc/quill/Quill.ini"
settings="$(cat "$chroot_dir/etc/quill/Quill.ini")"
in_root apt-get install -y -qq /tmp/quill_new.deb >>"$build/package-test/apt.log" 2>&1 || fail "the upgrade"
[ "$(in_root dpkg-query -W -f='${Version}' quill)" = "$version" ] || fail "not upgraded to $version"
[ "$(cat "$chroot_dir/etc/quill/Quill.ini")" = "$settings" ] || fail "the upgrade changed the tuning file"
[ "$(cd "$chroot_dir/var/lib/OrvixEquipment" && find . -type f | sort)" = "$logs_before" ] || fail "the upgrade changed the logs"

# Removal leaves the machine's settings and logs; purge also drops the conffile and the group.
in_root apt-get remove -y -qq quill >>"$build/package-test/apt.log" 2>&1 || fail "apt-get remove"
expect "quill-host removed" test ! -e "$chroot_dir/usr/bin/quill-host"
expect "the module folder removed" test ! -e "$chroot_dir/usr/lib/x86_64-linux-gnu/quill"
expect "the udev rule removed" test ! -e "$chroot_dir/lib/udev/rules.d/70-quill-scanners.rules"
[ "$(cat "$chroot_dir/etc/quill/Quill.ini" 2>/dev/null)" = "$settings" ] || fail "removal dropped the tuning file"
[ "$(cd "$chroot_dir/var/lib/OrvixEquipment" && find . -type f | sort)" = "$logs_before" ] || fail "removal changed the logs"
in_root dpkg --purge quill >>"$build/package-test/apt.log" 2>&1 || fail "dpkg --purge"
expect "the tuning file purged" test ! -e "$chroot_dir/etc/quill/Quill.ini"
in_root getent group quill >/dev/null && fail "the group survived the purge"
[ "$(cd "$chroot_dir/var/lib/OrvixEquipment" && find . -type f | sort)" = "$logs_before" ] || fail "purge changed the logs"
[ "$(stat -c %a "$chroot_dir/var/lib/OrvixEquipment/LOGs")" = 1777 ] || fail "purge changed the log folder"

if [ "$failures" -gt 0 ]; then
  echo "package test: $failures failure(s)" >&2
  exit 1
fi
echo "package test: passed"
