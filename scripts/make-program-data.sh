#!/usr/bin/env bash
# Writes edict.txt, common.txt and markers.txt into the program directory.
# usage: make-program-data.sh ASSETS_DIR BIN_DIR [EDICT_EUCJP_FILE]
set -euo pipefail
assets=$1 bin=$2 edict=${3:-/usr/share/edict/edict}
mkdir -p "$bin"
tmp=$(mktemp "$bin/.edict.XXXXXX")
trap 'rm -f "$tmp"' EXIT
if [ -r "$edict" ]; then
  iconv -f EUC-JP -t UTF-8 "$edict" > "$tmp"
else
  echo "make-program-data: $edict not found, using the sample dictionary" >&2
  cp "$assets/dict/sample-edict.txt" "$tmp"
fi
chmod 644 "$tmp"
mv "$tmp" "$bin/edict.txt"
# Common entries: the last gloss of the line is "(P)".
grep -a -E '/\(P\)/[[:space:]]*$' "$bin/edict.txt" > "$bin/common.txt" || true
cp "$assets/dict/markers.txt" "$bin/markers.txt"
