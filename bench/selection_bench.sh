#!/bin/bash
# Whole-program runs over many small files: Ferrow started offscreen with a download list
# (by mask, which selects the files in the remote view and transfers the selection, and
# by name), from start to exit, against lftp mirroring the same folder from vsftpd on
# 127.0.0.1. Prints median wall and CPU times of interleaved runs, the ratios to lftp,
# and the time per file of a mask selection at two folder sizes.
#
#   bench/selection_bench.sh BUILD_DIR
#
# Environment: FERROW_BENCH_FILES (default 2000), FERROW_BENCH_LARGE_FILES (default 20000;
# 0 leaves the large folder out), FERROW_BENCH_RUNS (default 5), FERROW_VSFTPD,
# FERROW_BENCH_ACTIVE=1 (Ferrow in its default active mode; otherwise passive, as lftp).
# Needs root (vsftpd logs in through PAM), python3, lftp, /usr/bin/time.
#
# On ext4, creating a file costs several times as much for about five minutes after many
# files were deleted (the allocator passes over recently freed inodes), and every program
# here creates thousands: leave that long after a run of this or another benchmark that
# deleted many files, or the figures show the file system more than the programs.

if [ -z "${BASH_VERSION:-}" ]; then
    exec bash "$0" "$@"
fi
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE=$(dirname "$HERE")
PROGRAM=$BUILD/app/ferrow
FILES=${FERROW_BENCH_FILES:-2000}
LARGE=${FERROW_BENCH_LARGE_FILES:-20000}
RUNS=${FERROW_BENCH_RUNS:-5}
VSFTPD=${FERROW_VSFTPD:-$SOURCE/.deps/vsftpd/usr/sbin/vsftpd}
[ -x "$VSFTPD" ] || VSFTPD=/usr/sbin/vsftpd

skip() {
    echo "selection benchmark skipped: $*"
    exit 0
}
[ "$(id -u)" -eq 0 ] || skip "needs root (vsftpd logs in through PAM as a system account)"
[ -x "$PROGRAM" ] || { echo "no $PROGRAM: build the program first" >&2; exit 1; }
[ -x "$VSFTPD" ] || skip "vsftpd not found (tools/install-deps.sh unpacks it into .deps/)"
command -v lftp >/dev/null || skip "lftp is not installed"
[ -x /usr/bin/time ] || skip "/usr/bin/time is missing (Debian package: time)"
for n in "$FILES" "$LARGE" "$RUNS"; do
    case "$n" in '' | *[!0-9]*) echo "counts must be numbers" >&2; exit 2 ;; esac
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ferrow-selection-XXXXXX")
chmod 755 "$WORK"
SERVER_PID=""
SERVER_INPUT=""
cleanup() {
    if [ -n "$SERVER_PID" ]; then
        eval "exec $SERVER_INPUT>&-" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A copy of its own: the program refuses to run beside another copy of the same name,
# and keeps its options beside itself.
mkdir -p "$WORK/bin" "$WORK/home" "$WORK/root" "$WORK/server" "$WORK/local"
cp "$PROGRAM" "$WORK/bin/ferrow-selection-bench"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export QT_QPA_PLATFORM=offscreen
# lftp connects for data (passive); Ferrow does the same unless asked for its default.
MODE=passive
OPTIONS=$WORK/options.ini
if [ "${FERROW_BENCH_ACTIVE:-0}" = 1 ]; then
    MODE=active
    : >"$OPTIONS"
else
    printf '[Connection]\nUsePASV=1\n' >"$OPTIONS"
fi

make_folder() { # NAME COUNT
    mkdir -p "$WORK/root/$1"
    head -c 4096 /dev/urandom >"$WORK/one.bin"
    # Links to one file: quick to make, and every download reads the same cached page.
    /usr/bin/python3 -c 'import os, sys
for i in range(int(sys.argv[3])):
    os.link(sys.argv[1], os.path.join(sys.argv[2], "f%06d.bin" % i))' "$WORK/one.bin" "$WORK/root/$1" "$2"
}
echo "creating $FILES files of 4 KiB${LARGE:+ and $LARGE more}..."
make_folder small "$FILES"
[ "$LARGE" -gt 0 ] && make_folder large "$LARGE"

coproc SERVER { exec /usr/bin/python3 "$HERE/engine_vsftpd.py" --root "$WORK/root" --work "$WORK/server" --vsftpd "$VSFTPD"; }
SERVER_PID=$!
SERVER_INPUT=${SERVER[1]}
if ! read -r -t 60 status PORT FTP_USER FTP_PASSWORD <&"${SERVER[0]}" || [ "$status" != ready ]; then
    echo "vsftpd did not start" >&2
    exit 1
fi

names() { # COUNT
    local i list=""
    for ((i = 0; i < $1; i++)); do
        list+=$(printf 'f%06d.bin;' "$i")
    done
    printf '%s' "${list%;}"
}
NAMES=$(names "$FILES")

# The command line of one case, NUL-separated. Ferrow starts in the folder it downloads
# into, so its local view shows every file as it lands.
case_command() { # CASE
    local connect=(-i "$OPTIONS" -c "127.0.0.1:$PORT" -u "$FTP_USER" -p "$FTP_PASSWORD")
    local lftp_setup="set cmd:interactive false; set net:max-retries 1; set ftp:ssl-allow no"
    lftp_setup="$lftp_setup; open -u $FTP_USER,$FTP_PASSWORD -p $PORT 127.0.0.1"
    case "$1" in
    mask) set -- "$WORK/bin/ferrow-selection-bench" "${connect[@]}" -h /small -r "*.bin" -l "$WORK/local" -x ;;
    names) set -- "$WORK/bin/ferrow-selection-bench" "${connect[@]}" -h /small -r "$NAMES" -l "$WORK/local" -x ;;
    lftp) set -- lftp -c "$lftp_setup; mirror /small '$WORK/local'" ;;
    mask-large) set -- "$WORK/bin/ferrow-selection-bench" "${connect[@]}" -h /large -r "*.bin" -l "$WORK/local" -x ;;
    lftp-large) set -- lftp -c "$lftp_setup; mirror /large '$WORK/local'" ;;
    esac
    printf '%s\0' "$@"
}

# Runs one case once; appends "CASE WALL_S CPU_S RSS_KB" to the results.
measure() { # CASE RUN EXPECTED
    local name=$1 run=$2 expected=$3
    # Earlier runs' files stay until the end: thousands of files deleted just before a
    # run make the file system's inode allocation slow for whichever program runs next.
    if [ -d "$WORK/local" ]; then
        mkdir -p "$WORK/done"
        mv "$WORK/local" "$WORK/done/$(date +%s%N)"
    fi
    mkdir -p "$WORK/local"
    sync
    local -a command
    mapfile -d '' command < <(case_command "$name")
    local start end
    start=$(date +%s%N)
    if ! (cd "$WORK/local" && /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "${command[@]}" >"$WORK/client.out" 2>&1); then
        echo "$name run $run failed:" >&2
        tail -n 20 "$WORK/client.out" >&2
        return 1
    fi
    end=$(date +%s%N)
    local arrived
    arrived=$(find "$WORK/local" -type f -size 4k | wc -l)
    if [ "$arrived" -ne "$expected" ]; then
        echo "$name run $run: $arrived files arrived, not $expected" >&2
        return 1
    fi
    local user sys rss line
    read -r _ user sys rss <<<"$(tail -n 1 "$WORK/time.txt")"
    line="$name $(awk -v ns=$((end - start)) -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f %.2f", ns / 1e9, u + s }') $rss"
    echo "$line" >>"$WORK/results.txt"
    echo "  run $run: $line"
}

echo "vsftpd on 127.0.0.1:$PORT; Ferrow in $MODE mode; $RUNS runs per case, interleaved"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
order=(mask names lftp)
for run in $(seq 1 "$RUNS"); do
    for ((i = 0; i < ${#order[@]}; i++)); do
        measure "${order[(run - 1 + i) % ${#order[@]}]}" "$run" "$FILES"
    done
done
if [ "$LARGE" -gt 0 ]; then
    large_runs=$RUNS
    for run in $(seq 1 "$large_runs"); do
        measure mask-large "$run" "$LARGE"
        measure lftp-large "$run" "$LARGE"
    done
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

awk -v files="$FILES" -v large="$LARGE" '
function median(list,    n, values, i, j, t) {
    n = split(list, values, " ")
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && values[j - 1] + 0 > values[j] + 0; j--) {
            t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
        }
    return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}
{
    if (!($1 in wall)) order[++count] = $1
    wall[$1] = wall[$1] " " $2
    cpu[$1] = cpu[$1] " " $3
    if ($4 > rss[$1]) rss[$1] = $4
}
END {
    printf "\nselection benchmark: files of 4 KiB from vsftpd on 127.0.0.1, whole program, medians\n"
    printf "%-11s %7s %9s %9s %11s %13s\n", "case", "files", "wall s", "cpu s", "ms per file", "peak RSS MiB"
    for (i = 1; i <= count; i++) {
        k = order[i]
        n = k ~ /large/ ? large : files
        w[k] = median(wall[k]); c[k] = median(cpu[k])
        printf "%-11s %7d %9.3f %9.2f %11.3f %13.1f\n", k, n, w[k], c[k], 1000 * w[k] / n, rss[k] / 1024
    }
    missed = 0
    for (p = 1; p <= 2; p++) {
        mine = p == 1 ? "mask" : "names"
        printf "%-6s/lftp  wall %.2f  cpu %.2f\n", mine, w[mine] / w["lftp"], (c["lftp"] > 0 ? c[mine] / c["lftp"] : 0)
        if (w[mine] > w["lftp"]) { printf "TARGET MISSED: %s slower than lftp\n", mine; missed++ }
    }
    if ("mask-large" in w) {
        growth = (w["mask-large"] / large) / (w["mask"] / files)
        printf "per-file time at %d / at %d: %.2f (lftp %.2f)\n", large, files, growth,
               (("lftp-large" in w) ? (w["lftp-large"] / large) / (w["lftp"] / files) : 0)
        if (growth > 1.5) { printf "TARGET MISSED: per-file time grows with the count\n"; missed++ }
    }
    printf "%s\n", missed ? missed " target(s) missed" : "all targets met"
}' "$WORK/results.txt"
