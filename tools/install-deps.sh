#!/usr/bin/env bash
# Installs every Debian package that building, testing, the demo and the benchmarks need.
# Quick when everything is present: apt-get runs only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev libxcb1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pyftpdlib
  xvfb xauth adwaita-icon-theme
  clang libclang-rt-14-dev
  curl lftp procps passwd libwrap0 libpam-modules ccache
  dpkg-dev desktop-file-utils appstream man-db mmdebstrap
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# vsftpd is unpacked, never installed: its package scripts would start a daemon on port 21.
root=$(cd "$(dirname "$0")/.." && pwd)
vsftpd_dir="$root/.deps/vsftpd"
if [ ! -x "$vsftpd_dir/usr/sbin/vsftpd" ]; then
  mkdir -p "$vsftpd_dir"
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  if ! (cd "$tmp" && apt-get download vsftpd >/dev/null 2>&1); then
    "${sudo_cmd[@]}" apt-get update -qq
    (cd "$tmp" && apt-get download vsftpd >/dev/null)
  fi
  dpkg-deb -x "$tmp"/vsftpd_*.deb "$vsftpd_dir"
  echo "vsftpd unpacked into $vsftpd_dir"
fi
if ldd "$vsftpd_dir/usr/sbin/vsftpd" | grep -q 'not found'; then
  echo "vsftpd is missing shared libraries:" >&2
  ldd "$vsftpd_dir/usr/sbin/vsftpd" | grep 'not found' >&2
  exit 1
fi
