#!/usr/bin/env bash
# Fuzzes every reader's harness for SECONDS each (default 60), starting from the committed corpus
# and the seeds our writers make. New inputs the fuzzer keeps go to <build>/corpus/<name>;
# crashes, hangs (over 1 s) and leaks go to <build>/findings/ and fail the run.
# With FUZZ_RUNS=fixed (as `make test` runs it), each harness instead makes a fixed number of
# runs from a fixed seed on a fresh copy of the committed corpus: the same commit always finds
# the same, so a run passes or fails for a reason.
# Usage: scripts/fuzz.sh <fuzz build folder> [seconds] [harness...]
set -euo pipefail

build=$1
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
here=$(cd "$(dirname "$0")/.." && pwd)
all=(cha chb htr bvh scn bmp tga wav project ini image video scenefile collada fbx record)
fixed=${FUZZ_RUNS:-}
names=("${@:-${all[@]}}")
[ $# -eq 0 ] && names=("${all[@]}")

dictionary() {
  case $1 in
    cha|chb) echo cha ;; htr) echo htr ;; bvh) echo bvh ;; project) echo project ;;
    ini) echo ini ;; wav|video) echo riff ;; bmp|tga|image) echo picture ;; *) echo "" ;;
  esac
}

# The fixed runs of each harness: about 15 s of its speed on this kind of machine. The scene
# harnesses start the import helper for every input, so they make far fewer.
runs_of() {
  case $1 in
    collada) echo 400 ;; scenefile|fbx|video|image) echo 20000 ;; *) echo 60000 ;;
  esac
}

# One harness's run; its report goes to <build>/findings/<name>.report, and its name to
# <build>/findings/failed when it found something.
fuzz_one() {
  local name=$1 corpus="$build/corpus/$1"
  if [ -n "$fixed" ]; then
    corpus="$build/corpus-fixed/$name"
    rm -rf "$corpus"
  fi
  mkdir -p "$corpus"
  cp -n "$here/tests/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  if ! "$build/bin/replay_$name" --seeds "$corpus"; then
    echo "$name" >> "$build/findings/failed"
    return 1
  fi
  local args=(-rss_limit_mb=2048 -max_len=65536 -print_final_stats=1
              -artifact_prefix="$build/findings/$name-")
  if [ -n "$fixed" ]; then
    # A slow machine must not turn into a finding: only a run past the helper's own limit counts.
    args+=(-seed=1 -runs="$(runs_of "$name")" -timeout=30)
  else
    args+=(-max_total_time="$seconds" -timeout=1)
  fi
  local dict
  dict=$(dictionary "$name")
  [ -n "$dict" ] && args+=(-dict="$here/tests/fuzz/dict/$dict.dict")
  if [ -n "$fixed" ]; then echo "fuzz: $name, $(runs_of "$name") runs from seed 1"
  else echo "fuzz: $name for ${seconds} s"; fi
  if ! "$build/bin/fuzz_$name" "${args[@]}" "$corpus" > "$build/findings/$name.log" 2>&1; then
    echo "$name" >> "$build/findings/failed"
    tail -40 "$build/findings/$name.log"
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added)|cov: ' "$build/findings/$name.log" | tail -3 || true
}

# Leaks inside the scene importer library are its own (see the suppressions file).
export LSAN_OPTIONS="suppressions=$here/tests/fuzz/assimp-leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Each harness runs on one core: as many run at once as there are cores (FUZZ_JOBS to choose).
at_once=${FUZZ_JOBS:-$(nproc)}
mkdir -p "$build/findings"
rm -f "$build/findings/failed"
for name in "${names[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do wait -n || true; done
  fuzz_one "$name" > "$build/findings/$name.report" 2>&1 &
done
wait
for name in "${names[@]}"; do cat "$build/findings/$name.report"; done
if [ -s "$build/findings/failed" ]; then
  echo "fuzz: findings in $(tr '\n' ' ' < "$build/findings/failed")(inputs in $build/findings)"
  exit 1
fi
echo "fuzz: no findings"
