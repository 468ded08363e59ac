#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and AddressSanitizer and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS per target, default 60] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_bitmap fuzz_png fuzz_package fuzz_lz77 fuzz_gunzip)

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLIX_FUZZ=ON -DPELLIX_BUILD_UI=OFF -DPELLIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" ndstool

# Seeds: the installation's own pictures, and a package made of them.
corpus="$build/corpus"
mkdir -p "$corpus"/{fuzz_bitmap,fuzz_png,fuzz_package,fuzz_lz77,fuzz_gunzip}
for f in assets/gfx/*.bmp assets/window/*.bmp; do
  cp "$f" "$corpus/fuzz_bitmap/$(basename "$(dirname "$f")")-$(basename "$f")"
done
if [ ! -f "$corpus/fuzz_package/seed.nds" ]; then
  seed=$(mktemp -d)
  mkdir -p "$seed/data/sub"
  printf 'PC' >"$seed/data/mode.txt"
  printf 'hello' >"$seed/data/sub/a.txt"
  "$build/tools/ndstool/ndstool" -c "$seed/x.nds" -7 tools/standins/7.bin -9 tools/standins/9.bin \
    -d "$seed/data" -g QLMR 12 Quillmere -b assets/gfx/icon.bmp "Seed;Package"
  cp "$seed/x.nds" "$corpus/fuzz_package/seed.nds"
  rm -rf "$seed"
fi

# gzip -d: small packed files of every kind the reader meets (one member, two, zero
# padding, a header with an extra field, a name and a comment), made by the system's gzip.
if [ ! -f "$corpus/fuzz_gunzip/two-members.gz" ]; then
  printf 'The staging folder is packed into every package.\n' | gzip -9 >"$corpus/fuzz_gunzip/text.gz"
  head -c 3000 tools/standins/9.bin | gzip -1 >"$corpus/fuzz_gunzip/binary.gz"
  cat "$corpus/fuzz_gunzip/text.gz" "$corpus/fuzz_gunzip/binary.gz" >"$corpus/fuzz_gunzip/two-members.gz"
  { cat "$corpus/fuzz_gunzip/text.gz"; head -c 64 /dev/zero; } >"$corpus/fuzz_gunzip/padded.gz"
  printf 'x' | gzip -9 --name >"$corpus/fuzz_gunzip/one-byte.gz"
  { printf '\037\213\010\034\0\0\0\0\0\003\002\0XYname\0comment\0'
    printf 'fields' | gzip -n | tail -c +11; } >"$corpus/fuzz_gunzip/fields.gz"
fi

status=0
for t in "${targets[@]}"; do
  log="$build/$t.log"
  if "$build/tests/fuzz/$t" "$corpus/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
       -print_final_stats=1 >"$log" 2>&1; then
    echo "$t: clean, $(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in $seconds s"
  else
    echo "$t: FAILED, see $log"
    grep -E '^(==|SUMMARY)' "$log" | head -5
    status=1
  fi
done
exit $status
