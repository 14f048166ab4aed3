#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzz target (the wire decoders', the server's, values through
# reflection) for SECONDS (default 60), one after the other, on a scratch copy of its seed corpus in the
# build tree (fuzz/corpus/ is never written). Prints each target's executions per second and coverage;
# fails when a target found a crash, leak, hang or round-trip mismatch: the input is kept in
# build/fuzz/fuzz/run/<target>/findings/, the log beside it.
#   fuzz/run.sh [seconds] [target...]      targets: decode_xml decode_json decode_request decode_response
#                                          handle_request reflect
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(decode_xml decode_json decode_request decode_response handle_request reflect)
fi

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

bin=build/fuzz/fuzz
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for target in "${targets[@]}"; do
  if [ ! -x "$bin/fuzz_$target" ]; then
    echo "fuzz: no target $target" >&2
    exit 2
  fi
  # Documents get their format's dictionary; the reflection target reads bytes, not text, and stops after
  # 64 operations.
  dict=(-dict=fuzz/xml.dict)
  max_len=65536
  if [ "$target" = decode_json ]; then
    dict=(-dict=fuzz/json.dict)
  elif [ "$target" = reflect ]; then
    dict=()
    max_len=4096
  fi
  work="$bin/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  # The server's target starts from the requests (its first byte picks the headers).
  seeds="$target"
  if [ "$target" = handle_request ]; then
    seeds=decode_request
  fi
  cp fuzz/corpus/"$seeds"/* "$work/corpus/"
  status=0
  "$bin/fuzz_$target" "$work/corpus" -max_total_time="$seconds" "${dict[@]}" -max_len="$max_len" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/findings/" >"$work/log" 2>&1 || status=$?
  # libFuzzer's last status line ("#N DONE cov: C ft: F corp: U/S ...") and its final statistics.
  last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1 || true)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
  corp=$(sed -nE 's/.* corp: ([0-9]+\/[0-9]+[a-zA-Z]*).*/\1/p' <<<"$last")
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$work/log")
  speed=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+).*/\1/p' "$work/log")
  printf '%-16s %8s exec/s  cov: %-6s ft: %-7s corpus: %-12s runs: %s\n' "$target" "${speed:-?}" "${cov:-?}" \
    "${ft:-?}" "${corp:-?}" "${runs:-?}"
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/findings")" ]; then
    echo "fuzz: $target stopped with status $status; log $work/log, input(s):" >&2
    ls "$work/findings" >&2 || true
    grep -E -A 30 '^==[0-9]+==ERROR|round-trip finding|runtime error|deadly signal|Timeout|out-of-memory|leak' \
      "$work/log" | head -n 60 >&2 || true
    failed+=("$target")
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
