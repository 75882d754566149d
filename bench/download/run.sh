#!/usr/bin/env bash
# The download benchmark, run by `tools/bench download [RUNS]` (RUNS: 5 unless given).
#
# nginx on 127.0.0.1 (a private configuration, a free port, sendfile on) serves one
# 512 MiB file. It is fetched RUNS times each, alternately, by bench_download (our
# HttpDownloader::downloadToFile, which writes "<target>.part" and renames it) and by
# `curl -s -o`, into a file on the same file system, removed after each run. Each run is
# timed from process start to exit. Prints both medians in MiB/s, our peak resident size
# and, last, "ratio N.NN" (ours / curl's). Everything lives in one scratch folder that is
# removed at exit, with nginx stopped by its pid.
set -euo pipefail

runs=${1:-5}
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || {
    echo "usage: tools/bench download [RUNS]" >&2
    exit 2
}
: "${BENCH_EXE:?run through tools/bench}"
size_mib=512

scratch=$(mktemp -d "${TMPDIR:-/tmp}/brivola-bench-download.XXXXXX")
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# nginx's workers drop root for "nobody": they must be able to read the served file.
chmod 755 "$scratch"
mkdir -p "$scratch/www" "$scratch/nginx/logs" "$scratch/nginx/temp" "$scratch/out"
# fallocate: 512 MiB of zeros without writing them; served from the page cache after
# the warm-up like any other file (nothing is compressed on the way).
fallocate -l "${size_mib}MiB" "$scratch/www/file.bin"
chmod 644 "$scratch/www/file.bin"

port=$(python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')

conf="$scratch/nginx/nginx.conf"
cat >"$conf" <<EOF
daemon off;
worker_processes 1;
pid $scratch/nginx/nginx.pid;
error_log $scratch/nginx/logs/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    default_type application/octet-stream;
    client_body_temp_path $scratch/nginx/temp/client;
    proxy_temp_path $scratch/nginx/temp/proxy;
    fastcgi_temp_path $scratch/nginx/temp/fastcgi;
    uwsgi_temp_path $scratch/nginx/temp/uwsgi;
    scgi_temp_path $scratch/nginx/temp/scgi;
    server {
        listen 127.0.0.1:$port;
        root $scratch/www;
    }
}
EOF
# -e: nginx would otherwise open the system's error log before reading the configuration.
nginx -p "$scratch/nginx/" -c "$conf" -e "$scratch/nginx/logs/error.log" &
nginx_pid=$!

url="http://127.0.0.1:$port/file.bin"
for _ in $(seq 50); do
    curl -s -o /dev/null -r 0-0 "$url" && break
    kill -0 "$nginx_pid" 2>/dev/null || {
        cat "$scratch/nginx/logs/error.log" >&2
        echo "bench download: nginx did not start" >&2
        exit 1
    }
    sleep 0.1
done
# Warm-up, not timed: the served file is in the page cache from here on.
curl -s -f -o /dev/null "$url"

bytes=$((size_mib * 1024 * 1024))
target="$scratch/out/file.bin"
now() { date +%s%N; }

# Times one download into $target (the command given) and sets `rate` to its MiB/s;
# checks the file's size (and, when `verify` is 1, its bytes), then removes it.
rate=
timed() {
    local start end got
    start=$(now)
    "$@"
    end=$(now)
    got=$(stat -c %s "$target")
    if [ "$got" -ne "$bytes" ]; then
        echo "bench download: $1 wrote $got bytes, not $bytes" >&2
        exit 1
    fi
    if [ "$verify" -eq 1 ] && ! cmp -s "$target" "$scratch/www/file.bin"; then
        echo "bench download: $1 wrote other bytes than served" >&2
        exit 1
    fi
    rm -f "$target"
    rate=$(awk -v b="$bytes" -v ns="$((end - start))" 'BEGIN { printf "%.1f", b / 1048576 / (ns / 1e9) }')
}

ours_once() {
    if ! "$BENCH_EXE" "$url" "$target" >"$scratch/ours.out" 2>"$scratch/ours.log"; then
        cat "$scratch/ours.log" >&2
        exit 1
    fi
}

ours=()
theirs=()
peak_kib=0
for ((i = 0; i < runs; i++)); do
    verify=$((i == 0))
    timed ours_once
    ours+=("$rate")
    kib=$(awk '$1 == "peak_rss_kib" { print $2 }' "$scratch/ours.out")
    if [ "$kib" -gt "$peak_kib" ]; then
        peak_kib=$kib
    fi
    timed curl -s -f -o "$target" "$url"
    theirs+=("$rate")
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ours_median=$(median "${ours[@]}")
curl_median=$(median "${theirs[@]}")

echo "download: $size_mib MiB from nginx on 127.0.0.1, $runs runs each, alternating, median MiB/s"
echo "ours  (HttpDownloader) MiB/s: ${ours[*]}  median $ours_median"
echo "curl                   MiB/s: ${theirs[*]}  median $curl_median"
echo "ours peak resident size: $peak_kib KiB"
awk -v o="$ours_median" -v c="$curl_median" 'BEGIN {
    r = o / c
    printf "goal ours >= 0.90 of curl: %s\n", (r >= 0.90) ? "met" : "missed"
    printf "ratio %.2f\n", r
}'
