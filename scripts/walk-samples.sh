#!/usr/bin/env bash
# Walks the bundled sample library with the command-line tool: a summary of every motion and
# a picture of the avatar in the middle of each, written to <build>/pictures/.
set -euo pipefail
build=${1:-build}
cli="$build/bin/tavrel-cli"
library="$build/share/tavrel/Motion"
pictures="$build/pictures"
[ -x "$cli" ] || { echo "run: $cli is not built yet" >&2; exit 1; }
[ -d "$library" ] || { echo "run: no sample library in $library" >&2; exit 1; }
mkdir -p "$pictures"
echo "Sample library: $library"
find "$library" -type f \( -iname '*.cha' -o -iname '*.chb' -o -iname '*.htr' \) | sort |
while read -r file; do
  name=$(basename "$file")
  frames=$("$cli" info "$file" | sed -n 's/^frameCount: //p')
  rate=$("$cli" info "$file" | sed -n 's/^frameRate: //p')
  "$cli" render "$file" --frame $((frames / 2)) --size 240x320 -o "$pictures/${name%.*}.png" >/dev/null
  printf '  %-14s %5s frames at %s fps  -> %s\n' "$name" "$frames" "$rate" "$pictures/${name%.*}.png"
done
echo "See '$cli --help' for what else the tool does."
