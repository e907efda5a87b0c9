#!/usr/bin/env bash
# Builds the libFuzzer target for the server answer readers with clang and runs it.
#   scripts/fuzz.sh [SECONDS]     (default 60)
# The corpus grows in build-fuzz/corpus (seeded from fuzz/corpus); crashes land in build-fuzz/.
# Not part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build-fuzz
mkdir -p "$out/corpus"
cp -n fuzz/corpus/* "$out/corpus/" 2>/dev/null || true

sources=(
    fuzz/HttpAnswerFuzz.cpp
    src/net/HttpAnswer.cpp
    src/net/ServerQueries.cpp
    src/catalogue/tagGames.cpp
    src/catalogue/CGameArray.cpp
    src/app/CGP_Registry.cpp
    src/platform/text/Text.cpp
    src/platform/fs/FileSystem.cpp
    src/platform/version/FileVersion.cpp
    src/platform/registry/RegistryKey.cpp
    src/platform/registry/RegistryStore.cpp
    src/platform/registry/RegistryTypes.cpp
)
echo "== building $out/http_answer_fuzz"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Isrc -I. "${sources[@]}" -lsqlite3 -lpthread -o "$out/http_answer_fuzz"

echo "== fuzzing for ${seconds} s"
"$out/http_answer_fuzz" -max_total_time="$seconds" -max_len=70000 -artifact_prefix="$out/" "$out/corpus"
