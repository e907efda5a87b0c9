#!/usr/bin/env bash
# Builds the launcher and starts it against the bundled demo server: brevanto-server serves the
# demo catalogue (build/demo-root) on 127.0.0.1:18080 (BREVANTO_DEMO_PORT to change it), the
# launcher reaches it under its real host name through BREVANTO_CONNECT_TO, and the server stops
# when the launcher ends. The server's request log is build/demo-server.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -Wno-dev >/dev/null
cmake --build build --target brevanto-launcher brevanto-reg brevanto-send brevanto-server brevanto-demo-root

port=${BREVANTO_DEMO_PORT:-18080}
export BREVANTO_CONNECT_TO="www.brevanto.games:80:127.0.0.1:$port"

# The launcher's own installer would name the games folder; the demo stands in for it once.
launcher_key='HKLM\SOFTWARE\Brevanto Launcher'
if ! build/bin/brevanto-reg query "$launcher_key" /v GamesInstallPath >/dev/null 2>&1; then
    games="${XDG_DATA_HOME:-$HOME/.local/share}/brevanto/games"
    mkdir -p "$games"
    build/bin/brevanto-reg add "$launcher_key" /v GamesInstallPath /d "$games" /f >/dev/null
    echo "Games folder: $games"
fi

port_file=$(mktemp -u)
build/bin/brevanto-server --root build/demo-root --listen "127.0.0.1:$port" --port-file "$port_file" \
    --log build/demo-server.log >/dev/null &
server=$!
stop_server() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -f "$port_file"
}
trap stop_server EXIT
for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    kill -0 "$server" 2>/dev/null || { echo "brevanto-server did not start (is port $port taken?)" >&2; exit 1; }
    sleep 0.05
done
echo "Demo server on 127.0.0.1:$port (log: build/demo-server.log)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
    echo "No display found: running headless (SDL_VIDEODRIVER=dummy). Close it with: build/bin/brevanto-send WM_CLOSE 0"
    export SDL_VIDEODRIVER=dummy
fi
status=0
build/bin/brevanto-launcher "$@" || status=$?
exit "$status"
