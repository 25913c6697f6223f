#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a virtual X display; then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs them again.
# Usage: bash tools/check.sh            (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

jobs=2
# Software OpenGL (Mesa llvmpipe) on a private virtual display, whatever display exists.
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
  "${xvfb[@]}" ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Plain build and tests"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
# The GL driver and the window system keep allocations until exit that are not ours.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSELLON_SANITIZE=ON -DTESSELLON_BUILD_BENCH=OFF

echo "== Fuzz harnesses of the picture readers: build, then a short run from the conformance files"
# Only the two harnesses are built (the readers and Image, instrumented); the long runs are
# done by hand, see fuzz/CMakeLists.txt.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DTESSELLON_FUZZ=ON -DTESSELLON_BUILD_TESTS=OFF \
  -DTESSELLON_BUILD_DEMO=OFF -DTESSELLON_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$jobs" --target png_reader_fuzzer jpeg_reader_fuzzer
seeds=../shared/conformance
fuzz_seeds() {
  case $1 in
    png) echo "$seeds/png/pngsuite $seeds/png/pngsuite/interlaced $seeds/png/testpngs" ;;
    jpeg) echo "$seeds/jpeg" ;;
  esac
}
for reader in png jpeg; do
  corpus=$(mktemp -d)
  dirs=()
  for d in $(fuzz_seeds $reader); do [ -d "$d" ] && dirs+=("$d"); done
  # A picture may claim up to 16384 x 16384 16-bit RGBA samples: 2 GiB.
  status=0
  "build-fuzz/bin/${reader}_reader_fuzzer" -max_total_time=10 -timeout=25 -malloc_limit_mb=2300 \
    -rss_limit_mb=3000 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$corpus/" "$corpus" "${dirs[@]}" \
    >"$corpus.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$corpus.log"
    echo "${reader}_reader_fuzzer found a fault (status $status)"
    exit 1
  fi
  echo "${reader}_reader_fuzzer: $(grep -E '^stat::number_of_executed_units' "$corpus.log")"
  rm -rf "$corpus" "$corpus.log"
done
