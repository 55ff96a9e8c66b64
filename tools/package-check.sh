#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 root made by mmdebstrap, runs both
# programs there, and checks that removing it leaves nothing behind.
# Usage: tools/package-check.sh PACKAGE.deb   (as root; needs Debian's package mirror)
set -euo pipefail
deb=$(realpath "$1")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
[ "$(id -u)" -eq 0 ] || { echo "package-check needs root (chroot)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "mmdebstrap is missing (make deps installs it)" >&2; exit 2; }

root=$(mktemp -d /var/tmp/ferrow-package-check.XXXXXX)
cleanup() {
  for m in proc dev; do umount -l "$root/$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

echo "Making a clean Debian 12 root in $root"
# The package lists stay, so that apt can fetch the package's dependencies afterwards.
mmdebstrap --quiet --variant=apt --skip=cleanup/apt/lists bookworm "$root" \
  "deb $mirror bookworm main" "deb $mirror bookworm-updates main" "deb $security bookworm-security main"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp "$deb" "$root/tmp/ferrow.deb"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
# Every file outside the package manager's own bookkeeping and the scratch folders.
snapshot() {
  in_root find / -xdev \( -path /proc -o -path /dev -o -path /tmp -o -path /root -o -path /var/lib/dpkg \
    -o -path /var/lib/apt -o -path /var/cache -o -path /var/log \) -prune -o -print | LC_ALL=C sort
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "Installing the package with its dependencies"
log=$(mktemp)
if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/ferrow.deb >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
rm -f "$log"
# A second round from a root that already holds the dependencies, so that what stays
# behind shows against a before-picture taken without the package.
in_root dpkg --purge ferrow >/dev/null
before=$(snapshot)
in_root dpkg -i /tmp/ferrow.deb >/dev/null

version=$(dpkg-deb -f "$deb" Version)
for program in ferrow ferrow-ftp; do
  out=$(in_root "$program" --version 2>&1) || true
  [ "$out" = "$program $version" ] && echo "$program --version: $out" || fail "$program --version printed '$out'"
done
in_root ferrow-ftp parse --server-type 11 </dev/null >/dev/null || fail "ferrow-ftp parse does not run"
# Started as the menu does, the window program is still running when stopped: it found its
# libraries and a platform plugin.
status=0
in_root env QT_QPA_PLATFORM=offscreen timeout 10 ferrow >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "ferrow ended by itself with status $status instead of running"
# The menu entry: what a desktop's launcher runs must name an installed program.
exec_line=$(grep '^Exec=' "$root/usr/share/applications/ferrow.desktop" | cut -d= -f2- | cut -d' ' -f1)
in_root sh -c "command -v $exec_line" >/dev/null || fail "the menu entry runs '$exec_line', which is not installed"
if [ -f "$root/usr/share/applications/mimeinfo.cache" ]; then
  grep -q '^x-scheme-handler/ftp=.*ferrow.desktop' "$root/usr/share/applications/mimeinfo.cache" \
    || fail "ftp:// links are not registered for ferrow.desktop"
else
  fail "no desktop database was built (desktop-file-utils not installed?)"
fi
if [ -f "$root/usr/share/icons/hicolor/icon-theme.cache" ]; then
  grep -q ferrow "$root/usr/share/icons/hicolor/icon-theme.cache" || fail "the icon cache does not hold ferrow"
fi

in_root dpkg --purge ferrow >/dev/null
after=$(snapshot)
if [ "$before" != "$after" ]; then
  fail "removing the package changed the tree:"
  diff <(echo "$before") <(echo "$after") || true
else
  echo "Removed without leaving anything behind ($(wc -l <<<"$before") paths compared)"
fi
exit $((failures > 0))
