#!/bin/bash
# Whole processes on the large cards: `vcardtool check` from its start to its exit
# (reading, validating, counting and freeing the card), beside one node process that
# loads ical.js and parses the same file once. Wall time, peak resident memory and page
# faults as /usr/bin/time reports them: on a virtual machine a page fault is dear, so a
# process that touches less memory also ends sooner.
# Usage: bench/process_figures.sh BUILD RUNS FILE...   (BUILD: the optimised native tree)
set -euo pipefail

BUILD="$1"
RUNS="$2"
shift 2
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
MODULES="$BUILD/node/node_modules"

# One line per run: seconds, peak KB, minor faults, major faults.
measure() {
  local i
  for ((i = 0; i < RUNS; ++i)); do
    /usr/bin/time -f '%e %M %R %F' -o "$BUILD/time.out" "$@" >/dev/null 2>&1 || {
      echo "process_figures: failed: $*" >&2
      return 1
    }
    cat "$BUILD/time.out"
  done
}

# The best and median wall time and the median of each other column, as one table row.
summarise() {
  local runs
  runs="$(cat)"
  column() { cut -d' ' -f"$1" <<<"$runs" | sort -n; }
  local count middle
  count="$(wc -l <<<"$runs")"
  middle=$(((count + 1) / 2))
  printf '| %s | %s | %s / %s | %s | %s | %s |\n' "$1" "$2" \
    "$(column 1 | head -1)" "$(column 1 | sed -n "${middle}p")" \
    "$(column 2 | sed -n "${middle}p" | awk '{ printf "%.1f", $1 / 1024 }')" \
    "$(column 3 | sed -n "${middle}p")" "$(column 4 | sed -n "${middle}p")"
}

echo
echo "Whole processes: best / median wall time of $RUNS runs; peak RSS and page faults are medians."
echo
echo "| process | file | wall best / median s | peak RSS MB | minor faults | major faults |"
echo "|---|---|---:|---:|---:|---:|"
for file in "$@"; do
  name="$(basename "$file" .vcf)"
  measure "$BUILD/tools/vcardtool" check "$file" | summarise "vcardtool check" "$name"
  if [ -f "$MODULES/ical.js/dist/ical.js" ] && command -v node >/dev/null; then
    measure node "$ROOT/bench/icaljs_parse.mjs" "$MODULES" "$file" 1 | summarise "node + ical.js, one parse" "$name"
  fi
done
rm -f "$BUILD/time.out"
