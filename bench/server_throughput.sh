#!/usr/bin/env bash
# Throughput of brevanto-server for one large file to curl on loopback: serves a 1 GiB file and
# prints the median of several transfers in GB/s (target: at least 1 GB/s).
#   bench/server_throughput.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
server="$build/bin/brevanto-server"
[ -x "$server" ] || { echo "build $server first" >&2; exit 1; }

root=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$root"' EXIT
mkdir -p "$root/games/1"
printf 'id=1\nname=Big\nversion=1.0.0.0\ntrialinstaller=big.bin\n' > "$root/games/1/game.ini"
head -c 1073741824 /dev/zero > "$root/games/1/big.bin"

"$server" --root "$root" --listen 127.0.0.1:0 --port-file "$root/port" --log /dev/null >/dev/null &
pid=$!
for _ in $(seq 100); do [ -s "$root/port" ] && break; sleep 0.05; done
port=$(cat "$root/port")

speeds=()
for _ in $(seq "$runs"); do
    speeds+=("$(curl -s -o /dev/null -w '%{speed_download}' "http://127.0.0.1:$port/games/1/big.bin")")
done
median=$(printf '%s\n' "${speeds[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
awk -v m="$median" -v all="${speeds[*]}" 'BEGIN {printf "server_throughput: median %.2f GB/s over runs (bytes/s): %s\n", m / 1e9, all}'
