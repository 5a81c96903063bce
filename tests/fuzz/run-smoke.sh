#!/usr/bin/env bash
# A bounded run of the three fuzzers (the whole conversion, fenwadump's readers,
# fenwamake's reading of JSON), all at once: libFuzzer runs each on one core,
# so on two cores three at once for 45 seconds give each about the processor
# time of 30 seconds in turn, in half the time. New inputs collect in
# FUZZ_BUILD/corpus/NAME, findings as FUZZ_BUILD/crash-* (and leak-, timeout-).
# Usage: run-smoke.sh FUZZ_BUILD SECONDS
set -uo pipefail
build=$1 seconds=$2
fuzzers=(convert dump make)
pids=()
for fuzzer in "${fuzzers[@]}"; do
  mkdir -p "$build/corpus/$fuzzer"
  dictionary=()
  [ "$fuzzer" = make ] && dictionary=(-dict="$build/seeds/make.dict")
  "$build/tests/fuzz/fenwa_${fuzzer}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=1024 \
    -artifact_prefix="$build/" -print_final_stats=1 "${dictionary[@]}" \
    "$build/corpus/$fuzzer" "$build/seeds/$fuzzer" >"$build/$fuzzer-smoke.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!fuzzers[@]}"; do
  fuzzer=${fuzzers[$i]}
  if wait "${pids[$i]}"; then
    echo "== fenwa_${fuzzer}_fuzzer: $(grep -E '^Done [0-9]+ runs' "$build/$fuzzer-smoke.log" || echo 'done')"
    grep '^stat::' "$build/$fuzzer-smoke.log"
  else
    echo "== fenwa_${fuzzer}_fuzzer FAILED; its log ($build/$fuzzer-smoke.log) ends:"
    tail -60 "$build/$fuzzer-smoke.log"
    failed=1
  fi
done
exit $failed
