#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a given time and reports,
# per target, the inputs executed and whether it crashed.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default: 60 seconds, every target)
#
# KITE_FUZZ_RUNS=N stops a target earlier, once it has executed N inputs.
# Build the targets first: bash scripts/build.sh fuzz. Inputs that add
# coverage collect in build/fuzz/corpus/<target>/ (the seeds in
# tests/fuzz/corpus stay as they are); a crashing input is written to
# build/fuzz/crashes/<target>/, each target's output to build/fuzz/logs/.
# Ends with 1 when any target crashed or is not built.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

failed=0
printf '%-24s %14s %10s  %s\n' target executions exec/s result
for target in "${targets[@]}"; do
  binary="$build/$target"
  if [ ! -x "$binary" ]; then
    printf '%-24s %14s %10s  %s\n' "$target" - - "not built"
    failed=1
    continue
  fi
  corpus="$build/corpus/$target"
  crashes="$build/crashes/$target"
  mkdir -p "$corpus" "$crashes" "$build/logs"
  seeds=()
  [ -d "tests/fuzz/corpus/$target" ] && seeds=("tests/fuzz/corpus/$target")
  log="$build/logs/$target.log"
  limit=()
  [ -n "${KITE_FUZZ_RUNS:-}" ] && limit=(-runs="$KITE_FUZZ_RUNS")
  "$binary" -max_total_time="$seconds" "${limit[@]}" -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" "${seeds[@]}" >"$log" 2>&1
  code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ $code -eq 0 ]; then
    result="no crash"
  else
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    result="CRASH (exit $code) ${artifact:-see $log}"
    failed=1
  fi
  printf '%-24s %14s %10s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "$result"
done
exit $failed
