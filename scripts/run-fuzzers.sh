#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds from its corpus.
# usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
for f in "$build"/fuzz/*/fuzz_*; do
  [ -x "$f" ] && [ -f "$f" ] || continue
  name=$(basename "$f")
  # The seed corpus the build names beside the target.
  corpus_src=$(cat "$f.corpus" 2>/dev/null || echo "$top/fuzz/$(basename "$(dirname "$f")")/corpus")
  work=$(mktemp -d)
  [ -d "$corpus_src" ] && cp -r "$corpus_src/." "$work/"
  echo "fuzz: $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -40 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
