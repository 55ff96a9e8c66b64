#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer into build-fuzz/ (CMake, FERROW_FUZZ) and
# runs each one.
#   fuzz/run-all.sh [TARGET...]     targets: the fuzz/fuzz_<name>.cpp names (default: all)
# FUZZ_SECONDS (default 60) is the time per target; FUZZ_BUILD the build folder.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
SECONDS_PER_TARGET=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
TARGETS=${*:-$(cd "$ROOT/fuzz" && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//')}

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER="$CXX" -DFERROW_FUZZ=ON -DFERROW_APPS=OFF >/dev/null
fi

status=0
for target in $TARGETS; do
    echo "== fuzz_$target: building"
    cmake --build "$BUILD" --target "fuzz_$target" -j "$(nproc)" >/dev/null
    corpus="$BUILD/corpus/$target"
    mkdir -p "$corpus"
    seeds="$ROOT/fuzz/seeds/$target"
    [ -d "$seeds" ] || seeds=""
    log="$BUILD/fuzz_$target.log"
    echo "== fuzz_$target: running for $SECONDS_PER_TARGET s (log: $log)"
    if (cd "$BUILD" && "fuzz/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb=512 \
            -timeout=10 -print_final_stats=1 "$corpus" $seeds) >"$log" 2>&1; then
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
    else
        echo "== fuzz_$target: FAILED, see $log"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
