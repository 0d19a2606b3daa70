#!/bin/sh
# Builds a fuzz target with clang, libFuzzer, AddressSanitizer and UBSan into build-fuzz/ and
# runs it on one core for SECONDS, starting from the committed seeds. Inputs that break the
# module land in build-fuzz/findings/; copy them to tests/fuzz/regressions/ once mended.
#   tests/fuzz/run.sh [TARGET [SECONDS]]     (default: hostile_host_fuzz 60)
set -eu
target=${1:-hostile_host_fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake --fresh -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBEATCLONE_FUZZ=ON -DBEATCLONE_CLI=OFF -DBEATCLONE_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j1 --target "$target"
mkdir -p "$build/corpus" "$build/findings"
cp -n "$root"/tests/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
cd "$build/findings"
exec "$build/tests/fuzz/$target" -jobs=1 -workers=1 -max_total_time="$seconds" -timeout=10 \
  -max_len=8192 -print_final_stats=1 "$build/corpus"
