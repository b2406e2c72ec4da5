#!/usr/bin/env bash
# Start-up of the editor to its first painted 3D frame, counted from the editor's exec (the
# kernel's start time of the process), and its resident memory then, under a
# virtual X server on the software renderer. Runs the editor several times with a fresh data
# folder each and prints every run and the median.
set -euo pipefail
build=${1:-build}
runs=${RUNS:-5}
editor="$build/bin/tavrel"
[ -x "$editor" ] || { echo "bench-startup: $editor is not built yet" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
times=()
memory=()
for i in $(seq "$runs"); do
  line=$(TAVREL_HOME="$work/home$i" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
         xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$editor" --first-frame-report)
  echo "run $i: $line"
  times+=("$(sed -n 's/.*after \([0-9]*\) ms.*/\1/p' <<<"$line")")
  memory+=("$(sed -n 's/.*memory \([0-9]*\) MB.*/\1/p' <<<"$line")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "start-up to first 3D frame: median $(median "${times[@]}") ms (target 500 ms)"
echo "resident memory after start-up: median $(median "${memory[@]}") MB (target 150 MB)"
