#!/usr/bin/env bash
# The test command: installs what is missing, builds with warnings as errors
# and the address and undefined-behaviour sanitizers, runs every test (the
# X11 ones on a private Xvfb display), then runs each fuzz target briefly.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh

jobs=$(nproc)
build=build/ci
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHANAKUMO_WERROR=ON -DHANAKUMO_SANITIZE=ON \
  -DHANAKUMO_BENCH=ON -DHANAKUMO_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# A private display for the tests that need a real X server.
source scripts/private-display.sh
start_private_display
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
export HANAKUMO_TEST_DISPLAY="$private_display"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 600)

# Fuzz targets, built with clang, each for a short run.
if [ -n "$(find fuzz -mindepth 2 -name CMakeLists.txt -print -quit)" ]; then
  fbuild=build/fuzz
  CC=clang CXX=clang++ cmake -S . -B "$fbuild" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHANAKUMO_TESTS=OFF -DHANAKUMO_BENCH=OFF -DHANAKUMO_FUZZ=ON >/dev/null
  cmake --build "$fbuild" -j "$jobs"
  bash scripts/run-fuzzers.sh "$fbuild" "${HANAKUMO_FUZZ_SECONDS:-20}"
fi
