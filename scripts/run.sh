#!/usr/bin/env bash
# The program's main job from a build tree. Until the editor window exists this shows what the
# command-line tool makes of the motions at hand.
set -euo pipefail
build=${1:-build}
cli="$build/bin/tavrel-cli"
if [ ! -x "$cli" ]; then
  echo "run: $cli is not built yet" >&2
  exit 1
fi
"$cli" --help
