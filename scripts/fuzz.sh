#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, address and undefined-behaviour
# sanitizers) and runs each over a copy of its seed corpus.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]     (default 60 s, every target)
#
# Fails when any target crashes, leaks, times out, runs out of memory or breaks one of
# its invariants. The input that did it is kept in build/fuzz/crashes/<target>/; the
# grown corpus and the log of each run are in build/fuzz/run/<target>/.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(script reply snapshot task defaults urlhost framing)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 --target fuzzers

build=build/fuzz
failed=()
for name in "${targets[@]}"; do
  run=$build/run/$name
  crashes=$build/crashes/$name
  rm -rf "$run/corpus"
  mkdir -p "$run/corpus" "$crashes"
  for seeds in fuzz/corpus/$name $build/fuzz/seeds/$name; do
    if [ -d "$seeds" ]; then cp -r "$seeds"/. "$run/corpus/"; fi
  done
  dict=()
  if [ -f fuzz/$name.dict ]; then dict=(-dict=fuzz/$name.dict); fi

  echo "== fuzz_$name for ${seconds}s"
  status=0
  "$build/fuzz/fuzz_$name" "$run/corpus" "${dict[@]}" -max_total_time="$seconds" -timeout=5 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
    >"$run/log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE' "$run/log" | tail -1 || true
  if [ $status -ne 0 ] || [ -n "$(ls -A "$crashes")" ]; then
    echo "fuzz_$name FAILED (exit $status); inputs in $crashes, log in $run/log"
    grep -E -m5 'ERROR|runtime error|invariant broken|SUMMARY' "$run/log" || true
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing passed: ${targets[*]}"
