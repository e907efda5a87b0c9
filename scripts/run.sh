#!/usr/bin/env bash
# Builds the launcher and starts it against the bundled demo server.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -Wno-dev >/dev/null
cmake --build build --target brevanto-launcher brevanto-reg

# Until the demo server and the main window exist, this starts what there is: the launcher
# opens its session log, says where it is, and ends.
exec build/bin/brevanto-launcher "$@"
