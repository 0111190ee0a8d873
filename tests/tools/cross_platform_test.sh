#!/bin/bash
# The Windows vcardtool writes and dumps every card byte for byte as the native one does.
# Usage: cross_platform_test.sh NATIVE_TOOL WINDOWS_TOOL CORPUS_DIR
set -uo pipefail
NATIVE="$1"; WINDOWS="$2"; CORPUS="$3"
[ -x "$NATIVE" ] || { echo "FAIL: no native vcardtool at $NATIVE (build the native tree first)"; exit 1; }
WORK="$(mktemp -d)"; trap 'rm -rf "$WORK"' EXIT
WINE="${WINE:-wine}"   # the loader of the build under test
failures=0; compared=0
for f in "$CORPUS"/*.vcf; do
  name="$(basename "$f")"
  "$NATIVE" format "$f" >"$WORK/native" 2>/dev/null; native=$?
  "$WINE" "$WINDOWS" format "$f" >"$WORK/windows" 2>/dev/null; windows=$?
  [ $native -eq $windows ] || { echo "FAIL: $name: exit $native natively, $windows on Windows"; failures=$((failures + 1)); continue; }
  [ $native -eq 0 ] || continue
  cmp -s "$WORK/native" "$WORK/windows" || { echo "FAIL: $name: format output differs"; failures=$((failures + 1)); }
  "$NATIVE" dump "$f" >"$WORK/native"; "$WINE" "$WINDOWS" dump "$f" >"$WORK/windows"
  cmp -s "$WORK/native" "$WORK/windows" || { echo "FAIL: $name: dump differs"; failures=$((failures + 1)); }
  compared=$((compared + 1))
done
echo "compared $compared cards"
[ $compared -gt 30 ] || { echo "FAIL: too few cards compared"; exit 1; }
exit $((failures != 0))
