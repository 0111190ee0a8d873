#!/bin/bash
# The editor from the outside, as its manifest makes it: started on a card whose name is
# Greek, its window must carry that name in its title (the program runs in UTF-8, so
# the name reaches it whole); then started again with the display at 144 DPI, its window
# must be about half as large again (the dialogs scale with their font) and is
# photographed (build/screens/main-144dpi.png). Each start is closed with Escape and
# must exit with 0. The DPI setting of the Wine prefix is put back afterwards.
# Usage: high_dpi_test.sh EDITOR_EXE CARD SCREENS_DIR
set -uo pipefail
EDITOR="$1"; CARD="$2"; SCREENS="$3"
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no DISPLAY (run under scripts/test)"; exit 1; }
WINE="${WINE:-wine}"
DESKTOP='HKCU\Control Panel\Desktop'
WORK="$(mktemp -d)"
ORIGINAL_DPI="$("$WINE" reg query "$DESKTOP" /v LogPixels 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_DWORD[[:space:]]*//p')"
restore_dpi() {
  if [ -n "$ORIGINAL_DPI" ]; then
    "$WINE" reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d "$((ORIGINAL_DPI))" /f >/dev/null 2>&1
  else
    "$WINE" reg delete "$DESKTOP" /v LogPixels /f >/dev/null 2>&1
  fi
}
trap 'restore_dpi; rm -rf "$WORK"' EXIT
NAME="κάρτα.vcf"
cp "$CARD" "$WORK/$NAME"
mkdir -p "$SCREENS"

# Starts the editor on the card, sets WIDTH to its window's width, photographs it as $1
# when given, and closes it with Escape. Wine's output goes to a log, not to a pipe that
# someone waits on: a server it starts would hold that open.
WIDTH=0
run_editor() {
  "$WINE" "$EDITOR" "$("$WINE" winepath -w "$WORK/$NAME" 2>/dev/null)" >>"$WORK/wine.log" 2>&1 &
  local pid=$! window="" _
  for _ in $(seq 100); do
    window="$(xdotool search --name "^Oskan vCard Editor - $NAME\$" 2>/dev/null | head -1)"
    [ -n "$window" ] || ! kill -0 $pid 2>/dev/null && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "FAIL: no window titled 'Oskan vCard Editor - $NAME'"; kill $pid 2>/dev/null; return 1; }
  # Found again once it has settled: Wine may replace the first X window it made.
  sleep 1
  window="$(xdotool search --name "^Oskan vCard Editor - $NAME\$" 2>/dev/null | tail -1)"
  [ -n "$window" ] || { echo "FAIL: the window went away (editor running: $(kill -0 $pid 2>/dev/null && echo yes || echo no))"; kill $pid 2>/dev/null; return 1; }
  [ -z "${1:-}" ] || import -window "$window" "$SCREENS/$1.png" || echo "note: screenshot failed"
  WIDTH="$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')"
  # Real key strokes (XTEST) into the focused window: one sent to a window by id leaves
  # its key-up behind when the window has gone, and Wine then holds the key down.
  xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key Escape
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
  kill -0 $pid 2>/dev/null && { echo "FAIL: the editor did not exit after Escape"; kill $pid; return 1; }
  wait $pid || { echo "FAIL: exit code $?"; return 1; }
}

"$WINE" reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
run_editor || exit 1
normal=$WIDTH
"$WINE" reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
run_editor main-144dpi || exit 1
large=$WIDTH
echo "window width: $normal pixels at 96 DPI, $large at 144 DPI"
# 1.5 times, give or take what the fonts' rounding makes of it.
if [ "$((large * 100 / normal))" -lt 135 ] || [ "$((large * 100 / normal))" -gt 165 ]; then
  echo "FAIL: the window did not grow with the DPI"
  exit 1
fi
echo "editor showed a Greek file name in its title, and scaled at 144 DPI"
