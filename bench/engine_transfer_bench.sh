#!/bin/bash
# The engine's transfer speed against two mature FTP clients: downloads and uploads one
# large file from and to vsftpd on 127.0.0.1 with ferrow-ftp, curl and lftp, the runs
# interleaved, and prints the median wall time, throughput, CPU time and peak memory of
# each with the ratios ferrow/curl and ferrow/lftp.
#
#   bench/engine_transfer_bench.sh BUILD_DIR
#
# Environment: FERROW_BENCH_MB (file size, default 1024), FERROW_BENCH_RUNS (runs per
# client and direction, default 5), FERROW_BENCH_CLIENTS (default "ferrow curl lftp"),
# FERROW_BENCH_VARIANTS (more ferrow-ftp builds to compare, as "NAME=PATH ...", e.g. one
# built with another data block), FERROW_BENCH_DIRECTIONS (default "download upload"),
# FERROW_VSFTPD (the vsftpd binary). Needs root (vsftpd logs in through PAM), python3,
# /usr/bin/time. Uses about twice the file size on the disk of the temporary folder,
# removed at the end.

# bench/run-all.sh starts every script with sh.
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
TOOL=$BUILD/tools/ferrow-ftp
SIZE_MB=${FERROW_BENCH_MB:-1024}
RUNS=${FERROW_BENCH_RUNS:-5}
CLIENTS=${FERROW_BENCH_CLIENTS:-ferrow curl lftp}
DIRECTIONS=${FERROW_BENCH_DIRECTIONS:-download upload}
VSFTPD=${FERROW_VSFTPD:-$SOURCE/.deps/vsftpd/usr/sbin/vsftpd}
[ -x "$VSFTPD" ] || VSFTPD=/usr/sbin/vsftpd
SIZE_BYTES=$((SIZE_MB * 1024 * 1024))

# ---- Prerequisites: a missing one skips the benchmark with the reason ----

skip() {
    echo "engine transfer benchmark skipped: $*"
    exit 0
}
[ "$(id -u)" -eq 0 ] || skip "needs root (vsftpd logs in through PAM as a system account)"
[ -x "$TOOL" ] || { echo "no $TOOL: build the target ferrow-ftp first" >&2; exit 1; }
[ -x "$VSFTPD" ] || skip "vsftpd not found (tools/install-deps.sh unpacks it into .deps/)"
[ -x /usr/bin/python3 ] || skip "/usr/bin/python3 is missing"
[ -x /usr/bin/time ] || skip "/usr/bin/time is missing (Debian package: time)"
case "$SIZE_MB" in '' | *[!0-9]* | 0) echo "FERROW_BENCH_MB must be a positive number" >&2; exit 2 ;; esac
case "$RUNS" in '' | *[!0-9]* | 0) echo "FERROW_BENCH_RUNS must be a positive number" >&2; exit 2 ;; esac

declare -A TOOLS=([ferrow]=$TOOL)
for variant in ${FERROW_BENCH_VARIANTS:-}; do
    name=${variant%%=*}
    case "$name" in '' | curl | lftp | ferrow | *[!a-zA-Z0-9_-]*) echo "bad variant name in $variant" >&2; exit 2 ;; esac
    [ -x "${variant#*=}" ] || { echo "variant $name: ${variant#*=} is not a program" >&2; exit 2; }
    TOOLS[$name]=${variant#*=}
    CLIENTS="$CLIENTS $name"
done

available=""
for client in $CLIENTS; do
    case $client in
    curl | lftp)
        if command -v "$client" >/dev/null; then
            available="$available $client"
        else
            echo "note: $client not installed, left out"
        fi
        ;;
    *)
        [ -n "${TOOLS[$client]:-}" ] || { echo "unknown client $client" >&2; exit 2; }
        available="$available $client"
        ;;
    esac
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ferrow-bench-XXXXXX")
chmod 755 "$WORK"
free_kb=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt $(((2 * SIZE_MB + 256) * 1024)) ]; then
    rmdir "$WORK"
    skip "needs $((2 * SIZE_MB + 256)) MiB free in $(dirname "$WORK")"
fi

SERVER_PID=""
SERVER_INPUT=""
cleanup() {
    if [ -n "$SERVER_PID" ]; then
        # Closing its standard input stops the server and its sessions.
        eval "exec $SERVER_INPUT>&-" 2>/dev/null || true
        wait "$SERVER_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- The server and the file ----

mkdir -p "$WORK/root" "$WORK/client" "$WORK/server"
echo "creating a $SIZE_MB MiB file..."
head -c "$SIZE_BYTES" /dev/urandom >"$WORK/root/big.bin"
# The upload reads the very same file (and page cache) the downloads are served from.
ln "$WORK/root/big.bin" "$WORK/client/upload.bin"

coproc SERVER { exec /usr/bin/python3 "$HERE/engine_vsftpd.py" --root "$WORK/root" --work "$WORK/server" --vsftpd "$VSFTPD"; }
SERVER_PID=$!
SERVER_INPUT=${SERVER[1]}
if ! read -r -t 60 status PORT FTP_USER FTP_PASSWORD <&"${SERVER[0]}" || [ "$status" != ready ]; then
    echo "vsftpd did not start" >&2
    cat "$WORK/server/vsftpd.out" 2>/dev/null >&2 || true
    exit 1
fi

# ---- One measured run ----

DOWNLOAD=$WORK/client/big.bin
UPLOAD=$WORK/root/big-up.bin
URL=ftp://127.0.0.1:$PORT

# The command line of one client, NUL-separated.
client_command() { # CLIENT DIRECTION
    local lftp_setup="set cmd:interactive false; set net:max-retries 1; set ftp:ssl-allow no; set xfer:clobber yes"
    lftp_setup="$lftp_setup; open -u $FTP_USER,$FTP_PASSWORD -p $PORT 127.0.0.1"
    local tool=${TOOLS[$1]:-}
    case "$1/$2" in
    curl/download) set -- curl -sS --fail --user "$FTP_USER:$FTP_PASSWORD" -o "$DOWNLOAD" "$URL/big.bin" ;;
    curl/upload) set -- curl -sS --fail --user "$FTP_USER:$FTP_PASSWORD" -T "$WORK/client/upload.bin" "$URL/big-up.bin" ;;
    lftp/download) set -- lftp -c "$lftp_setup; get big.bin -o '$DOWNLOAD'" ;;
    lftp/upload) set -- lftp -c "$lftp_setup; put '$WORK/client/upload.bin' -o big-up.bin" ;;
    # Everything else is a build of ferrow-ftp.
    */download) set -- "$tool" --port "$PORT" --user "$FTP_USER" --password "$FTP_PASSWORD" 127.0.0.1 get big.bin "$DOWNLOAD" ;;
    */upload) set -- "$tool" --port "$PORT" --user "$FTP_USER" --password "$FTP_PASSWORD" 127.0.0.1 put "$WORK/client/upload.bin" big-up.bin ;;
    esac
    printf '%s\0' "$@"
}

# Runs one client once; appends "DIRECTION CLIENT WALL_S CPU_S RSS_KB" to the results.
measure() { # CLIENT DIRECTION RUN
    local client=$1 direction=$2 run=$3 target
    target=$DOWNLOAD
    [ "$direction" = upload ] && target=$UPLOAD
    rm -f "$target"
    # Write back the previous run's data now, not during this one.
    sync
    local -a command
    mapfile -d '' command < <(client_command "$client" "$direction")
    local start end
    start=$(date +%s%N)
    if ! /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "${command[@]}" >"$WORK/client.out" 2>&1; then
        echo "$client $direction run $run failed:" >&2
        tail -n 20 "$WORK/client.out" >&2
        return 1
    fi
    end=$(date +%s%N)
    local size
    size=$(stat -c %s "$target" 2>/dev/null || echo 0)
    if [ "$size" -ne "$SIZE_BYTES" ]; then
        echo "$client $direction run $run: $size bytes arrived, not $SIZE_BYTES" >&2
        return 1
    fi
    if [ "$run" -eq 1 ] && ! cmp -s "$WORK/root/big.bin" "$target"; then
        echo "$client $direction run $run: the copy differs from the original" >&2
        return 1
    fi
    local user sys rss
    read -r _ user sys rss <<<"$(tail -n 1 "$WORK/time.txt")"
    local line
    line="$direction $client $(awk -v ns=$((end - start)) -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f %.2f", ns / 1e9, u + s }') $rss"
    echo "$line" >>"$WORK/results.txt"
    echo "  run $run: $line"
}

echo "vsftpd on 127.0.0.1:$PORT; $RUNS runs per client and direction, interleaved"
# Other work on the machine shows in every figure; say how much there was.
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for direction in $DIRECTIONS; do
    case $direction in download | upload) ;; *) echo "unknown direction $direction" >&2; exit 2 ;; esac
    # Each run starts with another client, so that none always follows the same one.
    read -r -a order <<<"$available"
    for run in $(seq 1 "$RUNS"); do
        for ((i = 0; i < ${#order[@]}; i++)); do
            measure "${order[(run - 1 + i) % ${#order[@]}]}" "$direction" "$run"
        done
    done
done
rm -f "$DOWNLOAD" "$UPLOAD"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# ---- Report ----

awk -v size_mb="$SIZE_MB" -v runs="$RUNS" '
function median(list,    n, values, i, j, t) {
    n = split(list, values, " ")
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && values[j - 1] + 0 > values[j] + 0; j--) {
            t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
        }
    return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
}
{
    key = $1 " " $2
    if (!(key in wall)) order[++count] = key
    wall[key] = wall[key] " " $3
    cpu[key] = cpu[key] " " $4
    if ($5 > rss[key]) rss[key] = $5
}
END {
    printf "\nengine transfer benchmark: %d MiB file, vsftpd on 127.0.0.1, median of %d runs\n", size_mb, runs
    printf "%-9s %-7s %9s %9s %9s %13s\n", "direction", "client", "wall s", "MiB/s", "cpu s", "peak RSS MiB"
    for (i = 1; i <= count; i++) {
        key = order[i]
        split(key, part, " ")
        w[key] = median(wall[key]); c[key] = median(cpu[key])
        printf "%-9s %-7s %9.3f %9.1f %9.2f %13.1f\n", part[1], part[2], w[key], size_mb / w[key], c[key], rss[key] / 1024
    }
    # Ratios for every ferrow-ftp build; the targets are judged on the one built here.
    missed = 0
    for (i = 1; i <= count; i++) {
        mine = order[i]
        split(mine, part, " ")
        direction = part[1]; client = part[2]
        if (client == "curl" || client == "lftp") continue
        if (client == "ferrow" && rss[mine] / 1024 >= 20) {
            printf "TARGET MISSED: %s peak RSS %.1f MiB (target under 20)\n", direction, rss[mine] / 1024
            missed++
        }
        for (p = 1; p <= 2; p++) {
            peer_name = p == 1 ? "curl" : "lftp"
            peer = direction " " peer_name
            if (!(peer in w)) continue
            printf("%-9s %s/%-4s wall %.2f  cpu %.2f\n", direction, client, peer_name, w[mine] / w[peer], (c[peer] > 0 ? c[mine] / c[peer] : 0))
            if (client != "ferrow") continue
            if (w[mine] >= w[peer]) { printf "TARGET MISSED: %s slower than %s\n", direction, peer_name; missed++ }
            if (c[mine] > c[peer]) { printf "TARGET MISSED: %s uses more CPU than %s\n", direction, peer_name; missed++ }
        }
    }
    printf "%s\n", missed ? missed " target(s) missed" : "all targets met"
}' "$WORK/results.txt"
