#!/usr/bin/env bash
# Whole-process bake of a 5-minute timeline (18000 frames at 60 fps): a project of the bundled
# sample motions laid end to end, each blending into the next, is written in a temporary folder,
# then `tavrel-cli bake` writes it as .glb and as .chb several times. Prints every run's wall
# time, counted around the process, and the median.
set -euo pipefail
build=${1:-build}
runs=${RUNS:-5}
frames=18000
blend=15  # frames of transition at each end of a clip
tool="$build/bin/tavrel-cli"
samples="$build/share/tavrel/Motion"
[ -x "$tool" ] || { echo "bench-bake: $tool is not built yet" >&2; exit 1; }
[ -d "$samples" ] || { echo "bench-bake: $samples is not built yet" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/project"

# The samples beside the project, and their lengths in frames.
names=()
lengths=()
for file in "$samples"/*/*; do
  name=$(basename "$file")
  cp "$file" "$work/project/$name"
  names+=("$name")
  lengths+=("$("$tool" info "$file" | sed -n 's/^frameCount: //p')")
done

# Clips in time order, the samples in turn, the last one cut to end at the last frame.
clips=()
at=0
i=0
while [ "$at" -lt "$frames" ]; do
  k=$((i % ${#names[@]}))
  length=${lengths[$k]}
  [ $((at + length)) -le "$frames" ] || length=$((frames - at))
  in=$blend; [ "$i" -gt 0 ] || in=0
  out=$blend; [ $((at + length)) -lt "$frames" ] || out=0
  clips+=("M,$at,$((at + length - 1)),$in,$out,0,$((i % 4)),${names[$k]},0,$((length - 1)),0,0,0,*")
  at=$((at + length))
  i=$((i + 1))
done
{
  echo "D,bench"
  echo "${#clips[@]}"
  printf '%s\n' "${clips[@]}"
  printf '0\nS,none\nI,0\n'
} >"$work/project/bench.tvp"
echo "project: ${#clips[@]} clips of ${#names[@]} sample motions, $frames frames"
# Other work on the machine stretches wall times: say how busy it was.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for ext in glb chb; do
  times=()
  for r in $(seq "$runs"); do
    start=$(date +%s%N)
    "$tool" bake "$work/project/bench.tvp" "$work/baked.$ext" >"$work/out.txt"
    ms=$((($(date +%s%N) - start) / 1000000))
    grep -q "($frames frames" "$work/out.txt" || { cat "$work/out.txt" >&2; exit 1; }
    echo "bake to .$ext, run $r: $ms ms ($(stat -c %s "$work/baked.$ext") bytes)"
    times+=("$ms")
  done
  echo "bake of $frames frames to .$ext, whole process: median $(median "${times[@]}") ms (target 1000 ms)"
done
