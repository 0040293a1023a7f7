#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds from its seed
# corpus (the folder its NAME.corpus names; the seeds are copied, so the
# repository's stay as they are) and says the coverage each reached.
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
  else
    # The coverage reached, from libFuzzer's last status line.
    grep -o 'cov: [0-9]*' "$work.log" | tail -1 | sed "s/^/fuzz: $name /" || true
  fi
  rm -rf "$work" "$work.log"
done
exit $status
