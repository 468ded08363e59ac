#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (both fatal) and runs them one after another.
# Usage: scripts/fuzz.sh [SECONDS per target, default 600] [TARGET...]
# With no TARGET, every target that tests/fuzz/CMakeLists.txt declares is run. Inputs that
# make a target fail are kept in build-fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh clang libclang-rt-14-dev
seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^pellix_add_fuzzer(\([a-z0-9_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt)
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLIX_FUZZ=ON -DPELLIX_BUILD_UI=OFF -DPELLIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" ndstool

# Seeds: the checked-in ones in tests/fuzz/seeds/TARGET/ (a fuzzer cannot guess its way
# past a signature such as PNG's), small pictures of every other kind (tests/fuzz/seeds),
# the installation's own pictures, and a package made of them. The icon conversion gets
# every picture.
corpus="$build/corpus"
for t in "${targets[@]}"; do
  mkdir -p "$corpus/$t" "$build/artifacts/$t"
  if [ -d "tests/fuzz/seeds/$t" ]; then cp tests/fuzz/seeds/"$t"/* "$corpus/$t/"; fi
done
seed_pictures() {  # TARGET PATTERN...: copies the flat seeds matching the patterns
  local t=$1; shift
  [ -d "$corpus/$t" ] || return 0
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$corpus/$t/"; done
  return 0
}
seed_pictures fuzz_png tests/fuzz/seeds/*.png
seed_pictures fuzz_jpeg tests/fuzz/seeds/*.jpg
seed_pictures fuzz_gif tests/fuzz/seeds/*.gif
seed_pictures fuzz_icon tests/fuzz/seeds/*.* tests/fuzz/seeds/fuzz_png/*
if [ -d "$corpus/fuzz_icon" ]; then
  cp assets/gfx/icon.bmp "$corpus/fuzz_icon/gfx-icon.bmp"
  cp assets/window/icon.bmp "$corpus/fuzz_icon/window-icon.bmp"
fi
if [ -d "$corpus/fuzz_bitmap" ]; then
  for f in assets/gfx/*.bmp assets/window/*.bmp; do
    cp "$f" "$corpus/fuzz_bitmap/$(basename "$(dirname "$f")")-$(basename "$f")"
  done
fi
[ -d "$corpus/fuzz_png" ] && cp tests/fuzz/seeds/*.png "$corpus/fuzz_png/"
[ -d "$corpus/fuzz_jpeg" ] && cp tests/fuzz/seeds/*.jpg "$corpus/fuzz_jpeg/"
[ -d "$corpus/fuzz_gif" ] && cp tests/fuzz/seeds/*.gif "$corpus/fuzz_gif/"
if [ -d "$corpus/fuzz_icon" ]; then
  find tests/fuzz/seeds -maxdepth 1 -type f -exec cp {} "$corpus/fuzz_icon/" \;
  cp assets/gfx/icon.bmp "$corpus/fuzz_icon/gfx-icon.bmp"
  cp assets/window/icon.bmp "$corpus/fuzz_icon/window-icon.bmp"
fi
if [ -d "$corpus/fuzz_package" ] && [ ! -f "$corpus/fuzz_package/seed.nds" ]; then
  seed=$(mktemp -d)
  mkdir -p "$seed/data/sub"
  printf 'PC' >"$seed/data/mode.txt"
  printf 'hello' >"$seed/data/sub/a.txt"
  "$build/tools/ndstool/ndstool" -c "$seed/x.nds" -7 tools/standins/7.bin -9 tools/standins/9.bin \
    -d "$seed/data" -g QLMR 12 Quillmere -b assets/gfx/icon.bmp "Seed;Package"
  cp "$seed/x.nds" "$corpus/fuzz_package/seed.nds"
  rm -rf "$seed"
fi

# One target at a time: the machine's cores are shared.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${targets[@]}"; do
  log="$build/$t.log"
  # No single allocation may pass 512 MiB: the readers refuse what a file cannot hold
  # before the decoder sizes its buffers, and the largest picture taken needs 256 MiB.
  if "$build/tests/fuzz/$t" "$corpus/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
       -malloc_limit_mb=512 \
       -artifact_prefix="$build/artifacts/$t/" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    last=$(grep -E '^#[0-9]+' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")
    echo "$t: clean, $runs runs in $seconds s, coverage $cov edges, $ft features, corpus $corp"
  else
    echo "$t: FAILED, see $log and $build/artifacts/$t/"
    grep -E '^(==|SUMMARY)|runtime error' "$log" | head -5
    status=1
  fi
done
exit $status
