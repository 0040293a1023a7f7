#!/usr/bin/env bash
# Builds an optimised tree and runs every benchmark program; each prints
# "ROW | what | ours N ms | peer N ms | ratio R" lines, ours against a peer
# measured in the same run.  usage: bench/run.sh [build dir]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
build=${1:-build/release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHANAKUMO_TESTS=OFF -DHANAKUMO_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export HANAKUMO_DRIVER=headless
status=0
for b in "$build"/bench/*; do
  [ -x "$b" ] && [ -f "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || { echo "bench: $(basename "$b") failed"; status=1; }
done
exit $status
