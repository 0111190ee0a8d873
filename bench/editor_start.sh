#!/bin/bash
# Times the editor from its start to its titled window under Wine: with no card, with a
# small card and with a large one (1,103 properties in 100 groups), and vcardtool check
# on the same files for the cost of the card code alone; then each CARD given (the bench's
# typical cards of 1 MB and 10 MB), with the time until the editor has gone idle after
# its title showed and its peak resident memory beside the file's size, in all and above
# the editor with the small card; then what the tree view control alone costs for as many
# items as the last card has properties (bench/tree_item_cost). Prints the tables.
# Usage: bench/editor_start.sh BUILD_DIR RUNS [CARD...]   (with scripts/lib/wine.sh set up
# in the calling shell: wine_use_build, a display, the prefix and a running server)
set -euo pipefail
BUILD="$1"; RUNS="$2"; shift 2
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/lib/wine.sh"  # for wine_path; WINE and the prefix come from the caller
DATA="$BUILD/bench-data"
mkdir -p "$DATA"

SMALL="$ROOT/examples/sample.vcf"
LARGE="$DATA/large-1103.vcf"
if [ ! -f "$LARGE" ]; then
  {
    printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Large Card\r\nN:Card;Large;;;\r\n'
    for g in $(seq 1 100); do
      printf 'g%d.TEL;TYPE=WORK,VOICE:+1-555-%04d\r\n' "$g" "$g"
      printf 'g%d.EMAIL;TYPE=work:person%d@example.com\r\n' "$g" "$g"
      printf 'g%d.ADR;TYPE=work:;;%d Main Street;Springfield;IL;62701;USA\r\n' "$g" "$g"
      printf 'g%d.ORG:Company %d\r\n' "$g" "$g"
      printf 'g%d.TITLE:Engineer\r\n' "$g"
      printf 'g%d.ROLE:Staff\r\n' "$g"
      printf 'g%d.URL:https://example.com/%d\r\n' "$g" "$g"
      printf 'g%d.NOTE:Note number %d\\, with an escape\r\n' "$g" "$g"
      printf 'g%d.CATEGORIES:a,b,c\r\n' "$g"
      printf 'g%d.X-ABLABEL:Label %d\r\n' "$g" "$g"
      printf 'g%d.IMPP:xmpp:p%d@example.com\r\n' "$g" "$g"
    done
    printf 'END:VCARD\r\n'
  } >"$LARGE"
fi

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Milliseconds from the start of the editor to a window with exactly this title.
time_to_title() {
  local title="$1"; shift
  local start; start=$(now_ms)
  "$WINE" "$BUILD/app/vcardedit.exe" "$@" &
  local pid=$! window=""
  while [ -z "$window" ]; do
    window="$(xdotool search --name "^${title//./\\.}\$" 2>/dev/null | head -1 || true)"
    kill -0 "$pid" 2>/dev/null || { echo "editor ended before its window showed" >&2; return 1; }
    [ -n "$window" ] || sleep 0.01
  done
  echo $(( $(now_ms) - start ))
  # When the editor has gone idle after its title showed (less than 20 ms of processor time
  # in 100 ms), for the caller that asks (READY_FILE): work done after the title counts too.
  if [ -n "${READY_FILE:-}" ]; then
    local editor before after
    editor="$(pgrep -f 'vcardedit\.exe' | head -1)"
    while [ -n "$editor" ]; do
      before=$(awk '{ print $14 + $15 }' "/proc/$editor/stat" 2>/dev/null) || break
      sleep 0.1
      after=$(awk '{ print $14 + $15 }' "/proc/$editor/stat" 2>/dev/null) || break
      [ $(( after - before )) -lt 2 ] && break
    done
    echo $(( $(now_ms) - start )) >>"$READY_FILE"
  fi
  # The editor's peak resident memory, for the caller that asks (PEAK_FILE).
  if [ -n "${PEAK_FILE:-}" ]; then
    local editor
    for editor in $(pgrep -f 'vcardedit\.exe' || true); do
      sed -n 's/^VmHWM: *//p' "/proc/$editor/status" 2>/dev/null
    done | sort -n | tail -1 >"$PEAK_FILE"
  fi
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

time_check() {
  local start; start=$(now_ms)
  "$WINE" "$BUILD/tools/vcardtool.exe" check "$1" >/dev/null
  echo $(( $(now_ms) - start ))
}

# Best and median of RUNS runs of a command that prints milliseconds.
figures() {
  local values=() i
  for i in $(seq "$RUNS"); do values+=("$("$@")"); done
  printf '%s\n' "${values[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%d / %d", v[1], v[int((NR + 1) / 2)] }'
}

caption="Oskan vCard Editor"
small_win="$(wine_path "$SMALL")"; large_win="$(wine_path "$LARGE")"
empty="$(figures time_to_title "$caption")"
small="$(figures time_to_title "$caption - sample.vcf" "$small_win")"
large="$(figures time_to_title "$caption - large-1103.vcf" "$large_win")"
small_check="$(figures time_check "$small_win")"
large_check="$(figures time_check "$large_win")"

echo
echo "Editor start to titled window under Wine ($(basename "$BUILD") build), best / median of $RUNS runs, ms:"
echo
echo "| card | properties | start to titled window | vcardtool check |"
echo "|---|---:|---:|---:|"
echo "| none (empty card) | 0 | $empty | |"
echo "| examples/sample.vcf | $(grep -c '^[^ ]' "$SMALL" | awk '{ print $1 - 2 }') | $small | $small_check |"
echo "| large-1103.vcf | 1103 | $large | $large_check |"

# Cards of a size to see how opening grows with the card: a few runs each, since one of
# 10 MB takes seconds.
[ $# -gt 0 ] || exit 0
echo
echo "Opening large cards (best / median of at most 3 runs, ms; peak resident memory of the editor):"
echo
# The editor's peak with the small card: what the program costs at rest, which the next
# column leaves out to show what the card alone costs.
rest_file="$(mktemp)"
PEAK_FILE="$rest_file" time_to_title "$caption - sample.vcf" "$small_win" >/dev/null
rest_kb=$(awk '{ print $1 }' "$rest_file"); rm -f "$rest_file"
echo "| card | size | properties | start to titled window | start to idle | peak memory | memory / size | above sample.vcf's $(( ${rest_kb:-0} / 1024 )) MB / size |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for card in "$@"; do
  name="$(basename "$card")"
  bytes=$(stat -c %s "$card")
  properties=$(grep -c '^[^ ]' "$card" | awk '{ print $1 - 2 }')
  peak_file="$(mktemp)"; ready_file="$(mktemp)"
  times="$(PEAK_FILE="$peak_file" READY_FILE="$ready_file" RUNS=$(( RUNS < 3 ? RUNS : 3 )) figures time_to_title "$caption - $name" "$(wine_path "$card")")"
  ready="$(sort -n "$ready_file" | awk '{ v[NR] = $1 } END { printf "%d / %d", v[1], v[int((NR + 1) / 2)] }')"
  peak_kb=$(awk '{ print $1 }' "$peak_file"); rm -f "$peak_file" "$ready_file"
  echo "| $name | $(( bytes / 1024 )) KB | $properties | $times | $ready | $(( ${peak_kb:-0} / 1024 )) MB | $(awk -v p="${peak_kb:-0}" -v b="$bytes" 'BEGIN { printf "%.1fx", p * 1024 / b }') | $(awk -v p="${peak_kb:-0}" -v r="${rest_kb:-0}" -v b="$bytes" 'BEGIN { printf "%.1fx", (p - r) * 1024 / b }') |"
done
echo
echo "The tree view control alone under Wine: $("$WINE" "$BUILD/bench/tree_item_cost.exe" "$properties")"
