#!/bin/sh
# Builds a fuzz target with clang, libFuzzer, AddressSanitizer and UBSan into build-fuzz/ and
# runs it on one core for SECONDS, starting from the committed seeds (for score_fuzz: every
# corpus score behind a header that picks a transfer). Inputs that break it land in
# build-fuzz/findings/; once mended, copy them to tests/fuzz/regressions/ (hostile_host_fuzz)
# or tests/fuzz/score-regressions/ (score_fuzz), which the replay tests run.
#   tests/fuzz/run.sh [TARGET [SECONDS]]     (TARGET: hostile_host_fuzz (default) or score_fuzz)
# BEATCLONE_FUZZ_BUILD=DIR builds and runs in DIR instead: two runs at once need two folders.
set -eu
target=${1:-hostile_host_fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BEATCLONE_FUZZ_BUILD:-$root/build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBEATCLONE_FUZZ=ON -DBEATCLONE_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "$target"
corpus=$build/corpus-$target
mkdir -p "$corpus" "$build/findings"
case $target in
  score_fuzz)
    max_len=262144
    for score in "$root"/tests/corpus/*.xml "$root"/tests/corpus/*.musicxml; do
      seed=$corpus/seed-$(basename "$score")
      [ -f "$seed" ] || { printf '\000\000\001\377\000' && cat "$score"; } >"$seed"
    done
    cp -n "$root"/tests/fuzz/score-regressions/* "$corpus/" 2>/dev/null || true
    ;;
  *)
    max_len=8192
    cp -n "$root"/tests/fuzz/corpus/* "$corpus/" 2>/dev/null || true
    ;;
esac
cd "$build/findings"
exec "$build/tests/fuzz/$target" -jobs=1 -workers=1 -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=$max_len -print_final_stats=1 "$corpus"
