#!/usr/bin/env bash
# The download client against curl, on loopback, with brevanto-server as the publisher's server:
#  1. one big installer (default 1 GiB): DownloadFile's throughput as a share of curl's, and
#     the driver's resident memory growth during the transfer;
#  2. the same file with the connection cut at 100 random offsets: the result must be
#     byte-identical (sha256) to the source;
#  3. 20 games downloading at once: every file complete and correct.
# Usage: bench/download_vs_curl.sh [BIN_DIR (build/bin)] [SIZE_MB (1024)]
# Targets: throughput ratio >= 0.90, memory growth <= 2048 kB, checks "identical".
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
size_mb=${2:-1024}
work=$(mktemp -d)
server_pid=
cleanup() { [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

root=$work/root
add_game() { # id installer-file
    mkdir -p "$root/games/$1"
    printf 'x' > "$root/games/$1/asset"
    ln "$2" "$root/games/$1/setup.bin" 2>/dev/null || cp "$2" "$root/games/$1/setup.bin"
    printf 'id=%s\nname=Game %s\nversion=1.0.0.0\nthumbimg=asset\nfeatureimg=asset\nbannerimg=asset\nbriefdesc=asset\ntrialinstaller=setup.bin\n' \
        "$1" "$1" > "$root/games/$1/game.ini"
}
mkdir -p "$root"
head -c $((size_mb * 1048576)) /dev/urandom > "$work/big.bin"
head -c $((32 * 1048576)) /dev/urandom > "$work/small.bin"
add_game 1 "$work/big.bin"
for id in $(seq 2 21); do add_game "$id" "$work/small.bin"; done
big_sum=$(sha256sum < "$work/big.bin" | cut -d' ' -f1)
small_sum=$(sha256sum < "$work/small.bin" | cut -d' ' -f1)

"$bin/brevanto-server" --root "$root" --listen 127.0.0.1:0 --port-file "$work/port" --log "$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")

value() { sed -n "s/^$1=//p" "$2"; }

echo "== 1. ${size_mb} MiB, one connection"
curl_best=999999; driver_best=999999; growth=0
for run in 1 2 3; do
    rm -f "$work/curl.bin"
    t=$(curl -s -o "$work/curl.bin" -w '%{time_total}' "http://127.0.0.1:$port/games/1/setup.bin")
    curl_best=$(echo "$t $curl_best" | awk '{print ($1 < $2) ? $1 : $2}')
    rm -rf "$work/d1"
    "$bin/download-driver" --dir "$work/d1" --port "$port" --ids 1 > "$work/d1.out"
    t=$(value seconds "$work/d1.out")
    driver_best=$(echo "$t $driver_best" | awk '{print ($1 < $2) ? $1 : $2}')
    g=$(value rss_growth_kb "$work/d1.out")
    [ "$g" -gt "$growth" ] && growth=$g
done
[ "$(sha256sum < "$work/d1/download/1/trialinstaller" | cut -d' ' -f1)" = "$big_sum" ] || { echo "download differs"; exit 1; }
echo "curl best of 3:     ${curl_best} s"
echo "launcher best of 3: ${driver_best} s"
echo "throughput ratio (launcher / curl): $(echo "$curl_best $driver_best" | awk '{printf "%.3f", $1 / $2}') (target >= 0.90)"
echo "resident memory growth during the transfer: ${growth} kB (target <= 2048)"

echo "== 2. ${size_mb} MiB, cut at 100 random offsets"
rm -rf "$work/d2"
"$bin/download-driver" --dir "$work/d2" --port "$port" --ids 1 --cuts 100 --size $((size_mb * 1048576)) \
    --seed "$RANDOM" > "$work/d2.out" || true
echo "cuts made: $(value cuts "$work/d2.out"), result: $(value result "$work/d2.out")"
if [ "$(sha256sum < "$work/d2/download/1/trialinstaller" | cut -d' ' -f1)" = "$big_sum" ]; then
    echo "sha256: identical"
else
    echo "sha256: DIFFERENT"; exit 1
fi

echo "== 3. 20 games at once"
rm -rf "$work/d3"
"$bin/download-driver" --dir "$work/d3" --port "$port" --ids "$(seq -s, 2 21)" > "$work/d3.out" || true
ok=0
for id in $(seq 2 21); do
    [ "$(sha256sum < "$work/d3/download/$id/trialinstaller" | cut -d' ' -f1)" = "$small_sum" ] && ok=$((ok + 1))
done
echo "complete and correct: $ok of 20 in $(value seconds "$work/d3.out") s"
[ "$ok" -eq 20 ]
