#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer into build-fuzz/ and runs each one.
#   fuzz/run-all.sh [TARGET...]     targets: listing helpers reply (default: all)
# FUZZ_SECONDS (default 60) is the time per target; FUZZ_BUILD the build folder.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
SECONDS_PER_TARGET=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-clang++}
TARGETS=${*:-"listing helpers reply"}

QT_FLAGS=$(pkg-config --cflags Qt6Core)
QT_LIBS=$(pkg-config --libs Qt6Core)
COMMON="-std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer -I$ROOT $QT_FLAGS"
SANITIZE="address,undefined -fno-sanitize-recover=undefined"

# The sources each target needs from the project.
sources_of() {
    case $1 in
        listing) echo "engine/Parsers.cpp engine/FTPTypes.cpp platform/DateTime.cpp" ;;
        helpers) echo "engine/FTPUtils.cpp" ;;
        reply) echo "engine/ReplyReader.cpp" ;;
        *) echo "unknown fuzz target: $1" >&2; exit 2 ;;
    esac
}

mkdir -p "$BUILD/obj"
build_target() {
    objects=""
    for source in $(sources_of "$1"); do
        object="$BUILD/obj/$(echo "$source" | tr / _).o"
        if [ ! -f "$object" ] || [ "$ROOT/$source" -nt "$object" ]; then
            $CXX $COMMON -fsanitize=fuzzer-no-link,$SANITIZE -c "$ROOT/$source" -o "$object"
        fi
        objects="$objects $object"
    done
    $CXX $COMMON -fsanitize=fuzzer,$SANITIZE "$ROOT/fuzz/fuzz_$1.cpp" $objects $QT_LIBS \
        -o "$BUILD/fuzz_$1"
}

status=0
for target in $TARGETS; do
    echo "== fuzz_$target: building"
    build_target "$target"
    corpus="$BUILD/corpus/$target"
    mkdir -p "$corpus"
    log="$BUILD/fuzz_$target.log"
    echo "== fuzz_$target: running for $SECONDS_PER_TARGET s (log: $log)"
    if (cd "$BUILD" && "./fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb=512 \
            -timeout=10 -print_final_stats=1 "$corpus" "$ROOT/fuzz/seeds/$target") >"$log" 2>&1; then
        grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
    else
        echo "== fuzz_$target: FAILED, see $log"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
