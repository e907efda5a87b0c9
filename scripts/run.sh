#!/usr/bin/env bash
# Builds the launcher and starts it against the bundled demo server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -Wno-dev >/dev/null
cmake --build build --target brevanto-launcher brevanto-reg brevanto-send

# Until the demo server exists, this starts what there is: the launcher and its (still empty)
# main window. Without a display it runs headless.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
    echo "No display found: running headless (SDL_VIDEODRIVER=dummy). Close it with: build/bin/brevanto-send WM_CLOSE 0"
    export SDL_VIDEODRIVER=dummy
fi
echo "The demo server is not built yet; starting the launcher alone."
exec build/bin/brevanto-launcher "$@"
