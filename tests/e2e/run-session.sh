#!/usr/bin/env bash
# Runs a user's session with Ferrow (tests/e2e/UserSession.cpp) on a real X server
# (xvfb-run) against a demo server of its own.
#
#   tests/e2e/run-session.sh PROGRAM
#
# Environment: FERROW_E2E_PORT (2360; passive ports the next nine).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
program=${1:?usage: run-session.sh PROGRAM}
port=${FERROW_E2E_PORT:-2360}
for tool in xvfb-run xauth; do
  if ! command -v "$tool" >/dev/null; then
    echo "e2e: $tool is missing (make deps installs it)" >&2
    exit 1
  fi
done

demo_root=$(mktemp -d "${TMPDIR:-/tmp}/ferrow-e2e.XXXXXX")
source "$source_dir/tools/demo-server-control.sh"
cleanup() {
  stop_demo_server >/dev/null
  rm -rf "$demo_root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

if demo_server_accepts "$port"; then
  echo "e2e: port $port is taken; set FERROW_E2E_PORT to a free one" >&2
  exit 1
fi
start_demo_server "$port" "$demo_root" --passive-ports "$((port + 1))-$((port + 9))"
# A fixed screen and style, as a user's desktop would give; nothing else of the
# desktop is needed.
QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion \
  xvfb-run -a -s "-screen 0 1280x800x24" "$program" --port "$port" --server-root "$demo_root"
