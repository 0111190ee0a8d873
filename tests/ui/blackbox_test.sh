#!/bin/bash
# The editor from the outside: started with a card on its command line under Xvfb, found
# by its window title, photographed (build/screens/main.png), closed with Escape; it must
# exit with 0 and leave the card as it was.
# Usage: blackbox_test.sh EDITOR_EXE CARD SCREENS_DIR
set -uo pipefail
EDITOR="$1"; CARD="$2"; SCREENS="$3"
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no DISPLAY (run under scripts/test)"; exit 1; }
WORK="$(mktemp -d)"; trap 'rm -rf "$WORK"' EXIT
cp "$CARD" "$WORK/sample.vcf"
before="$(sha256sum <"$WORK/sample.vcf")"
mkdir -p "$SCREENS"

WINE="${WINE:-wine}"
"$WINE" "$EDITOR" "$("$WINE" winepath -w "$WORK/sample.vcf" 2>/dev/null)" &
pid=$!
window=""
for _ in $(seq 100); do
  window="$(xdotool search --name '^Oskan vCard Editor - sample\.vcf$' 2>/dev/null | head -1)"
  [ -n "$window" ] || ! kill -0 $pid 2>/dev/null && break
  sleep 0.2
done
[ -n "$window" ] || { echo "FAIL: no window titled 'Oskan vCard Editor - sample.vcf'"; kill $pid 2>/dev/null; exit 1; }
sleep 0.5
import -window "$window" "$SCREENS/main.png" || echo "note: screenshot failed"

# Real key strokes (XTEST) into the focused window. One sent to the window by id loses
# its key-up when the window goes at the key-down; Wine then holds Escape down, and the
# next program started in the prefix is closed by it as soon as it shows.
xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key Escape
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
kill -0 $pid 2>/dev/null && { echo "FAIL: the editor did not exit after Escape"; kill $pid; exit 1; }
wait $pid; status=$?
[ $status -eq 0 ] || { echo "FAIL: exit code $status"; exit 1; }
[ "$(sha256sum <"$WORK/sample.vcf")" = "$before" ] || { echo "FAIL: the card changed"; exit 1; }
echo "editor started, showed the card, exited with 0 on Escape; card unchanged"
