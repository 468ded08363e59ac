#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and AddressSanitizer and runs each for a while.
# Usage: scripts/fuzz.sh [SECONDS per target, default 60] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_bitmap fuzz_png fuzz_jpeg fuzz_gif fuzz_icon fuzz_package fuzz_lz77)

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLIX_FUZZ=ON -DPELLIX_BUILD_UI=OFF -DPELLIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" ndstool

# Seeds: the installation's own pictures, small pictures of every other kind
# (tests/fuzz/seeds), and a package made of them. The icon conversion gets them all.
corpus="$build/corpus"
mkdir -p "$corpus"/{fuzz_bitmap,fuzz_png,fuzz_jpeg,fuzz_gif,fuzz_icon,fuzz_package,fuzz_lz77}
for f in assets/gfx/*.bmp assets/window/*.bmp; do
  cp "$f" "$corpus/fuzz_bitmap/$(basename "$(dirname "$f")")-$(basename "$f")"
done
cp tests/fuzz/seeds/*.png "$corpus/fuzz_png/"
cp tests/fuzz/seeds/*.jpg "$corpus/fuzz_jpeg/"
cp tests/fuzz/seeds/*.gif "$corpus/fuzz_gif/"
cp tests/fuzz/seeds/* "$corpus/fuzz_icon/"
cp assets/gfx/icon.bmp "$corpus/fuzz_icon/gfx-icon.bmp"
cp assets/window/icon.bmp "$corpus/fuzz_icon/window-icon.bmp"
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

status=0
for t in "${targets[@]}"; do
  log="$build/$t.log"
  # No single allocation may pass 512 MiB: the readers refuse what a file cannot hold
  # before the decoder sizes its buffers, and the largest picture taken needs 256 MiB.
  if "$build/tests/fuzz/$t" "$corpus/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
       -malloc_limit_mb=512 \
       -print_final_stats=1 >"$log" 2>&1; then
    echo "$t: clean, $(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in $seconds s"
  else
    echo "$t: FAILED, see $log"
    grep -E '^(==|SUMMARY)' "$log" | head -5
    status=1
  fi
done
exit $status
