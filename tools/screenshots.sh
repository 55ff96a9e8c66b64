#!/usr/bin/env bash
# Saves a picture of every window of Ferrow under docs/screens/, on a real X server
# (xvfb-run) against the demo server.
#
#   tools/screenshots.sh [BUILD_DIR] [--only TEXT]     (default BUILD_DIR: build)
#
# Environment: FERROW_SCREENS_PORT (2221), FERROW_SCREENS_OUT (docs/screens).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-build}
shift || true
port=${FERROW_SCREENS_PORT:-2221}
out=${FERROW_SCREENS_OUT:-$source_dir/docs/screens}
demo_root=$(mktemp -d "${TMPDIR:-/tmp}/ferrow-screens.XXXXXX")

source "$source_dir/tools/demo-server-control.sh"
cleanup() {
  stop_demo_server
  rm -rf "$demo_root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

program="$build_dir/tools/screens/ferrow-screens"
if [ ! -x "$program" ]; then
  echo "$program is not built; run make build first." >&2
  exit 1
fi
# Passive ports of its own, so that several runs (and make demo) can go on at once.
start_demo_server "$port" "$demo_root" --passive-ports "$((port + 1))-$((port + 9))"
mkdir -p "$out"
# A fixed screen, font and style, so that the pictures change only when a window does.
QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion \
  xvfb-run -a -s "-screen 0 1280x800x24" "$program" --port "$port" --out "$out" "$@"
