#!/bin/sh
# Runs every benchmark: the programs built into BUILD_DIR/bench/ and the bench/*.sh
# scripts (each given BUILD_DIR). Goes on after a failure and reports it at the end.
#   bench/run-all.sh BUILD_DIR
set -u

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd) || exit 2
HERE=$(cd "$(dirname "$0")" && pwd)

failed=""
# run NAME COMMAND...
run() {
    name=$1
    shift
    echo "==== $name"
    if ! "$@"; then
        echo "==== $name FAILED"
        failed="$failed $name"
    fi
    echo
}

found=0
for program in "$BUILD"/bench/*_bench; do
    [ -x "$program" ] || continue
    found=1
    run "$(basename "$program")" "$program"
done
for script in "$HERE"/*.sh; do
    [ "$(basename "$script")" = "run-all.sh" ] && continue
    [ -f "$script" ] || continue
    found=1
    run "$(basename "$script")" sh "$script" "$BUILD"
done

if [ $found -eq 0 ]; then
    echo "no benchmarks found in $BUILD/bench/ or $HERE/*.sh" >&2
    exit 1
fi
if [ -n "$failed" ]; then
    echo "failed:$failed" >&2
    exit 1
fi
