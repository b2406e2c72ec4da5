#!/usr/bin/env bash
# Fuzzes every reader's harness for SECONDS each (default 60), starting from the committed corpus
# and the seeds our writers make. New inputs the fuzzer keeps go to <build>/corpus/<name>;
# crashes, hangs (over 1 s) and leaks go to <build>/findings/ and fail the run.
# Usage: scripts/fuzz.sh <fuzz build folder> [seconds] [harness...]
set -euo pipefail

build=$1
seconds=${2:-60}
shift $(( $# < 2 ? $# : 2 ))
here=$(cd "$(dirname "$0")/.." && pwd)
all=(cha chb htr bvh scn bmp tga wav project ini image video scenefile collada fbx)
names=("${@:-${all[@]}}")
[ $# -eq 0 ] && names=("${all[@]}")

dictionary() {
  case $1 in
    cha|chb) echo cha ;; htr) echo htr ;; bvh) echo bvh ;; project) echo project ;;
    ini) echo ini ;; wav|video) echo riff ;; bmp|tga|image) echo picture ;; *) echo "" ;;
  esac
}

# One harness's run; its report goes to <build>/findings/<name>.report, and its name to
# <build>/findings/failed when it found something.
fuzz_one() {
  local name=$1 corpus="$build/corpus/$1"
  mkdir -p "$corpus"
  cp -n "$here/tests/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  if ! "$build/bin/replay_$name" --seeds "$corpus"; then
    echo "$name" >> "$build/findings/failed"
    return 1
  fi
  local args=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536
              -print_final_stats=1 -artifact_prefix="$build/findings/$name-")
  local dict
  dict=$(dictionary "$name")
  [ -n "$dict" ] && args+=(-dict="$here/tests/fuzz/dict/$dict.dict")
  echo "fuzz: $name for ${seconds} s"
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
