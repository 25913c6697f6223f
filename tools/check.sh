#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a virtual X display; installs
# the build and builds the examples against it, and makes the Debian package
# (tools/check-install.sh); then builds again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests again.
# Last, short runs of the libFuzzer harnesses (clang, AddressSanitizer, UBSan).
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

echo "== Installed library, examples built against it, and the Debian package"
"${xvfb[@]}" bash tools/check-install.sh build

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
# The GL driver and the window system keep allocations until exit that are not ours.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSELLON_SANITIZE=ON -DTESSELLON_BUILD_BENCH=OFF

echo "== Fuzzers, short runs"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTESSELLON_FUZZ=ON \
  -DTESSELLON_BUILD_TESTS=OFF -DTESSELLON_BUILD_DEMO=OFF -DTESSELLON_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$jobs"
ctest --test-dir build-fuzz --output-on-failure
