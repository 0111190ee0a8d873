#!/bin/bash
# Times New (Ctrl+N) after each CARD under Wine: until the window's title is untitled, and
# until the editor is idle again (less than 30 ms of processor time in 500 ms), with the
# processor time spent, most of it the control taking out the old card's items.
# Usage: bench/editor_new_after.sh BUILD_DIR CARD...   (with scripts/lib/wine.sh set up in
# the calling shell: wine_use_build, a display, the prefix and a running server)
set -euo pipefail
BUILD="$1"; shift
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/lib/wine.sh"  # for wine_path; WINE and the prefix come from the caller
caption="Oskan vCard Editor"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wait_idle() {
  local before after
  while true; do
    before=$(cpu_ticks "$1"); sleep 0.5; after=$(cpu_ticks "$1")
    [ $(( after - before )) -lt 3 ] && return
  done
}
window_titled() { xdotool search --name "^${1//./\\.}\$" 2>/dev/null | head -1 || true; }

echo
echo "New after a card, under Wine ($(basename "$BUILD") build; one run each):"
echo
echo "| card | to the untitled window | to idle | processor time |"
echo "|---|---:|---:|---:|"
for card in "$@"; do
  name="$(basename "$card")"
  "$WINE" "$BUILD/app/vcardedit.exe" "$(wine_path "$card")" &
  pid=$!
  window=""
  while [ -z "$window" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "editor ended before its window showed" >&2; exit 1; }
    window="$(window_titled "$caption - $name")"
    [ -n "$window" ] || sleep 0.1
  done
  editor="$(pgrep -f 'vcardedit\.exe' | head -1)"
  wait_idle "$editor"
  ticks=$(cpu_ticks "$editor"); start=$(now_ms)
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  xdotool key --window "$window" ctrl+n
  until [ -n "$(window_titled "$caption")" ]; do sleep 0.02; done
  untitled=$(( $(now_ms) - start ))
  wait_idle "$editor"
  idle=$(( $(now_ms) - start - 500 ))
  echo "| $name | $untitled ms | $idle ms | $(( ($(cpu_ticks "$editor") - ticks) * 1000 / $(getconf CLK_TCK) )) ms |"
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
