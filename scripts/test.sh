#!/usr/bin/env bash
# Builds and runs every test: the plain build, then AddressSanitizer with
# UndefinedBehaviorSanitizer over all suites, then ThreadSanitizer over the threaded suites.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
configure() { cmake -S . -B "$1" -G Ninja -Wno-dev "${@:2}" >/dev/null; }

echo "== build"
configure build
cmake --build build
ctest --test-dir build -j"$jobs" --output-on-failure --no-tests=error

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure build-asan -DBREVANTO_SANITIZE=address -DBREVANTO_BUILD_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j"$jobs" --output-on-failure --no-tests=error

echo "== ThreadSanitizer (threaded suites)"
configure build-tsan -DBREVANTO_SANITIZE=thread -DBREVANTO_BUILD_BENCH=OFF
cmake --build build-tsan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan -L threaded -j"$jobs" --output-on-failure --no-tests=error
