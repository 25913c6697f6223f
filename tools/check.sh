#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a virtual X display; installs
# the build and builds the examples against it, and makes the Debian package
# (tools/check-install.sh); then builds again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests again; builds the threaded parts (the draughts
# rules, search, computer player, game and window, the engine's animation) with
# ThreadSanitizer and runs their tests.
# Last, short runs of the libFuzzer harnesses (clang, AddressSanitizer, UBSan).
# The sanitizer builds compile the test programs as merged sources, which takes a fraction
# of the time; the plain build keeps one translation unit a source.
# Usage: bash tools/check.sh            (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

jobs=2
# Each stage names the seconds the check has taken so far, to keep an eye on its budget.
stage() {
  echo "== [${SECONDS} s] $*"
}
# Software OpenGL (Mesa llvmpipe) on a private virtual display, whatever display exists.
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")

# Ninja where the build tree is new (an existing tree keeps the generator it has).
command -v ninja > /dev/null && export CMAKE_GENERATOR=Ninja

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@"
  cmake --build "$dir" -j "$jobs"
  "${xvfb[@]}" bash tools/run-tests.sh "$dir"
}

stage "Plain build and tests"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo

stage "Installed library, examples built against it, and the Debian package"
"${xvfb[@]}" bash tools/check-install.sh build

stage "AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
# The GL driver and the window system keep allocations until exit that are not ours.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSELLON_SANITIZE=ON -DTESSELLON_BUILD_BENCH=OFF \
  -DTESSELLON_UNITY_TESTS=ON

stage "ThreadSanitizer build and tests of the threaded code"
# The computer player searches on a worker thread that the game and its window poll. Only the
# programs that exercise it are built: the draughts rules, search and engine tests, the game
# without a window, the window's frames while the computer thinks, the real game played end
# to end, and the animation tests of the engine. Mesa's software driver draws on threads of
# its own, whose races are not ours: LP_NUM_THREADS=0 keeps its work on the calling thread.
# clang 14's ThreadSanitizer wants its shadow memory at fixed addresses and stops with
# "unexpected memory mapping" on kernels that randomise mappings over more than 28 bits
# (vm.mmap_rnd_bits): the programs run with address randomisation off (setarch -R), which
# needs no privilege; where a sandbox refuses that, they run as they are.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTESSELLON_SANITIZE_THREAD=ON -DTESSELLON_BUILD_BENCH=OFF -DTESSELLON_UNITY_TESTS=ON
cmake --build build-tsan -j "$jobs" --target tessellon_tests draughts_tests draughts_game_tests \
  draughts_gl_tests draughts_e2e_tests
(
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" LP_NUM_THREADS=0
  "${no_aslr[@]}" build-tsan/bin/tessellon_tests --gtest_filter='PieceMover*' --gtest_shuffle --gtest_repeat=2
  # The frames drawn during a full-strength two-second search are left out here: under the
  # sanitizer they repeat what the other builds check, at many times the cost.
  "${no_aslr[@]}" "${xvfb[@]}" build-tsan/bin/draughts_gl_tests --gtest_filter='-*FramesStayQuick*' --gtest_shuffle
  "${no_aslr[@]}" "${xvfb[@]}" bash tools/run-tests.sh build-tsan \
    -R '^(draughts_tests|draughts_game_tests|draughts_e2e_tests)$'
)

stage "Fuzzers, short runs"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTESSELLON_FUZZ=ON \
  -DTESSELLON_FUZZ_SECONDS=5 \
  -DTESSELLON_BUILD_TESTS=OFF -DTESSELLON_BUILD_DEMO=OFF -DTESSELLON_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$jobs"
# Two at a time: each run lasts its fixed number of seconds, so this halves the stage.
ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
stage "Done"
