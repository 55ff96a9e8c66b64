#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop expects there:
# the exact tree, the icon sizes, valid desktop and AppStream files, readable manual pages,
# both programs' versions, and that an installed copy writes nothing beside itself.
# Usage: check-installed-tree.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# The whole tree, so that a missing file and a stray one both show.
expected="bin/ferrow
bin/ferrow-ftp
lib/ferrow/ferrow-sound.so
share/applications/ferrow.desktop
share/ferrow/help/commands.html
share/ferrow/help/ferrow.png
share/ferrow/help/index.html
share/ferrow/help/windows.html
share/ferrow/welcome.html
share/icons/hicolor/128x128/apps/ferrow.png
share/icons/hicolor/16x16/apps/ferrow.png
share/icons/hicolor/256x256/apps/ferrow.png
share/icons/hicolor/32x32/apps/ferrow.png
share/icons/hicolor/48x48/apps/ferrow.png
share/icons/hicolor/64x64/apps/ferrow.png
share/icons/hicolor/scalable/apps/ferrow.svg
share/man/man1/ferrow-ftp.1.gz
share/man/man1/ferrow.1.gz
share/metainfo/org.ferrow.Ferrow.metainfo.xml"
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  fail "installed tree differs:"
  diff <(echo "$expected") <(echo "$actual")
fi

for size in 16 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/ferrow.png
  [ -f "$png" ] || continue
  # Width and height are the big-endian words at bytes 16 and 20 of the IHDR chunk.
  read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
  width=$(( (w0 << 24) | (w1 << 16) | (w2 << 8) | w3 ))
  height=$(( (h0 << 24) | (h1 << 16) | (h2 << 8) | h3 ))
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "icon ${size}x${size} is ${width}x${height}"
done

desktop=$prefix/share/applications/ferrow.desktop
share/ferrow/help/commands.html
share/ferrow/help/ferrow.png
share/ferrow/help/index.html
share/ferrow/help/windows.html
share/ferrow/welcome.html
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not present; desktop entry not validated"
fi
grep -qx 'MimeType=x-scheme-handler/ftp;' "$desktop" || fail "desktop entry does not handle ftp:// links"
grep -qx 'Exec=ferrow %u' "$desktop" || fail "desktop entry does not pass the link to ferrow"
metainfo=$prefix/share/metainfo/org.ferrow.Ferrow.metainfo.xml
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
else
  echo "appstreamcli not present; AppStream metadata not validated"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "AppStream metadata does not name version $version"

# No display and no platform override: --version must not need a window system.
for program in ferrow ferrow-ftp; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
done

for page in ferrow ferrow-ftp; do
  file=$prefix/share/man/man1/$page.1.gz
  [ -f "$file" ] || continue
  if command -v man >/dev/null; then
    text=$(MANWIDTH=100 man --warnings -l "$file" 2>"$work/man.err")
    [ -s "$work/man.err" ] && { fail "man warns about $page.1:"; cat "$work/man.err"; }
  else
    text=$(zcat "$file")
  fi
  case $page in
    ferrow) needles=("/x - Exit when done transferring" "Ferrow $version") ;;
    ferrow-ftp) needles=("--server-type N" "3 could not connect or log in." "Ferrow $version") ;;
  esac
  for needle in "${needles[@]}"; do
    grep -qF -- "$needle" <<<"$text" || fail "$page.1 lacks '$needle'"
  done
done

# An installed copy keeps its files in the per-user folder, even when its bin folder is
# writable (root, or a prefix in the home folder). Port 1 is closed, so the login fails.
home=$work/home
mkdir -p "$home"
HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= "$prefix/bin/ferrow-ftp" --debug --port 1 --timeout 30 \
  127.0.0.1 pwd >/dev/null 2>&1
[ -z "$(find "$prefix" -newer "$work/install.log" -type f)" ] || fail "ferrow-ftp wrote beside itself: $(find "$prefix" -newer "$work/install.log" -type f)"
[ -n "$(find "$home/.local/share" -name Debug.txt 2>/dev/null)" ] || fail "ferrow-ftp --debug wrote no Debug.txt in the per-user folder"

exit $((failures > 0))
