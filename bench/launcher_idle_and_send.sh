#!/usr/bin/env bash
# Starts the built launcher headless and prints two figures: the average round trip of
# `brevanto-send WM_NULL 0` to it, and the share of one core it uses while idle for 10 seconds.
# Usage: bench/launcher_idle_and_send.sh [build/bin]
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work" SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-dummy}"
cp "$bin/brevanto-launcher" "$work/"
"$work/brevanto-launcher" &
pid=$!
for _ in $(seq 200); do "$bin/brevanto-send" WM_NULL 0 >/dev/null 2>&1 && break; sleep 0.05; done

start=$(date +%s%N)
for _ in $(seq 100); do "$bin/brevanto-send" WM_NULL 0 >/dev/null; done
average=$(( ($(date +%s%N) - start) / 100000 ))
echo "brevanto-send round trip, average of 100: $((average / 1000)).$(( (average % 1000) / 100 )) ms (process start included)"

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks); sleep 10; after=$(ticks)
echo "idle CPU over 10 s: $(( (after - before) * 1000 / hz / 10 )) per mille of one core ($((after - before)) ticks)"

"$bin/brevanto-send" WM_CLOSE 0 >/dev/null
wait "$pid"
