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

mkdir -p "$build/findings"
failed=()
for name in "${names[@]}"; do
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  cp -n "$here/tests/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  "$build/bin/replay_$name" --seeds "$corpus"
  args=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536
        -print_final_stats=1 -artifact_prefix="$build/findings/$name-")
  dict=$(dictionary "$name")
  [ -n "$dict" ] && args+=(-dict="$here/tests/fuzz/dict/$dict.dict")
  echo "fuzz: $name for ${seconds} s"
  if ! "$build/bin/fuzz_$name" "${args[@]}" "$corpus" > "$build/findings/$name.log" 2>&1; then
    failed+=("$name")
    tail -40 "$build/findings/$name.log"
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added)|cov: ' "$build/findings/$name.log" | tail -3 || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $build/findings)"
  exit 1
fi
echo "fuzz: no findings"
