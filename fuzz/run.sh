#!/bin/bash
# Runs the card fuzz target for SECONDS on one core and reports executions and findings.
# Exit 0 without a finding, 1 with one (its input is kept in build/fuzz/findings/).
# Usage: fuzz/run.sh FUZZER SECONDS   (from the repository's root; scripts/fuzz builds first)
set -euo pipefail
FUZZER="$1"
SECONDS_TO_RUN="$2"
WORK=build/fuzz
# The corpus the fuzzer grows stays between runs; findings are those of this run only.
mkdir -p "$WORK/corpus"
rm -rf "$WORK/findings"; mkdir -p "$WORK/findings"
LOG="$WORK/fuzz.log"

# Inputs up to 16 KB (half as many runs a second as at 4 KB), so that lines of
# thousands of parameters and values come within reach; and a 1 MB stack, on which a
# recursion per node overflows at 4,000 nodes, an 8 KB line, as it would on the editor's
# own stack with a longer one.
MAX_LEN=16384
ulimit -s 1024
# A quarantine of 16 MB instead of 256: freed memory still waits through several
# executions before it is reused, so a use after free within one still shows, while
# reused memory spares each execution the page faults of fresh memory (a fifth of the
# time of an execution on a virtual machine).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
echo "fuzz: $SECONDS_TO_RUN seconds; log in $LOG"
status=0
"$FUZZER" -max_total_time="$SECONDS_TO_RUN" -max_len="$MAX_LEN" -timeout=10 -rss_limit_mb=2048 \
  -dict=fuzz/card.dict -print_final_stats=1 -artifact_prefix="$WORK/findings/" \
  "$WORK/corpus" fuzz/seeds fuzz/regressions tests/corpus >"$LOG" 2>&1 &
FUZZER_PID=$!
# Stopped from outside (scripts/test ends early), the fuzzer stops with this script.
trap 'kill "$FUZZER_PID" 2>/dev/null; exit 143' TERM INT
wait "$FUZZER_PID" || status=$?
trap - TERM INT

executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$LOG" | tail -1)"
rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$LOG" | tail -1)"
coverage="$(grep -o 'cov: [0-9]*' "$LOG" | tail -1 | cut -d' ' -f2)"
corpus="$(ls "$WORK/corpus" | wc -l)"
findings="$(ls "$WORK/findings" | wc -l)"
echo "fuzz: ${executions:-?} executions (${rate:-?}/s), coverage ${coverage:-?} edges, corpus $corpus inputs, $findings findings"
if [ "$findings" -ne 0 ] || [ "$status" -ne 0 ]; then
  # The fuzzer's own report of the finding: the broken law or the sanitizer's error.
  sed -n '/round-trip law broken\|ERROR: \|runtime error/,+12p' "$LOG" | head -40
  ls "$WORK"/findings/* 2>/dev/null | sed 's/^/fuzz: finding /'
  exit 1
fi
