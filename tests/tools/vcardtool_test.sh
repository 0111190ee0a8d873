#!/bin/bash
# vcardtool as a user runs it: exit codes, what goes to standard output and error, and
# what it writes (and never writes). How a card reads and writes is the card tests' matter.
# Usage: vcardtool_test.sh TOOL EXAMPLE
set -uo pipefail
TOOL="$1"; EXAMPLE="$2"
WORK="$(mktemp -d)"; trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# run EXIT ARGS...: runs the tool, keeping its standard output and error, and checks the exit code.
run() {
  local expected="$1"; shift
  "$TOOL" "$@" >"$WORK/out" 2>"$WORK/err"; local status=$?
  [ "$status" -eq "$expected" ] || fail "vcardtool $*: exit $status, expected $expected"
}
has() { grep -q -- "$2" "$WORK/$1" || fail "'$2' not in $1: $(cat "$WORK/$1")"; }

# --- usage
run 2; has err '^usage: vcardtool check FILE'
run 2 frobnicate "$EXAMPLE"
run 2 check "$EXAMPLE" -o x
run 2 format "$EXAMPLE" --escape-colon=2

# --- check: the summary, or the message the editor shows
run 1 check "$WORK/missing.vcf"; has err "^Cannot open vCard file"; has err "\[0x80070002\]"
run 0 check "$EXAMPLE"; has out "valid vCard 4.0; 2 groups, 11 properties, 8 parameters"
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nBROKEN\r\n' >"$WORK/broken.vcf"
run 1 check "$WORK/broken.vcf"; has out "^Not a valid vCard file $WORK/broken.vcf$"; has out "^Syntax error at line 3"
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nNOTE:x\r\n' >"$WORK/nofn.vcf"
run 1 check "$WORK/nofn.vcf"
printf 'The vCard data is not valid.\nFN property must exist\n' | cmp -s - "$WORK/out" || fail "check without FN: $(cat "$WORK/out")"

# --- format: standard output and -o alike, CR LF, a fixed point; the input never changes
cp "$EXAMPLE" "$WORK/in.vcf"; before="$(sha256sum <"$WORK/in.vcf")"
run 0 format "$WORK/in.vcf"; cp "$WORK/out" "$WORK/stdout.vcf"
run 0 format "$WORK/in.vcf" -o "$WORK/a.vcf"
cmp -s "$WORK/a.vcf" "$WORK/stdout.vcf" || fail "format -o differs from standard output"
[ "$(grep -c $'\r$' "$WORK/a.vcf")" -eq "$(wc -l <"$WORK/a.vcf")" ] || fail "format: not every line ends with CR LF"
run 0 format "$WORK/a.vcf" -o "$WORK/stdout.vcf"; cmp -s "$WORK/a.vcf" "$WORK/stdout.vcf" || fail "format is not a fixed point"
run 2 format "$WORK/in.vcf" -o "$WORK/./in.vcf"  # the output is the input under another name
[ "$(sha256sum <"$WORK/in.vcf")" = "$before" ] || fail "the input file changed"
ls "$WORK" | grep -q 'tmp$' && fail "a temporary file was left behind"
run 1 format "$WORK/in.vcf" -o "$WORK/no/such/dir/c.vcf"; has err "^Cannot create vCard file"
# The escape-colon setting: as the file decided, or as asked.
printf 'BEGIN:VCARD\r\nNOTE:a:b\r\n' >"$WORK/colon.vcf"
run 0 format "$WORK/colon.vcf" --escape-colon=1; has out 'NOTE:a\\:b'
run 0 format "$WORK/colon.vcf"; has out 'NOTE:a:b'

# --- dump
run 1 dump "$WORK/broken.vcf"
run 0 dump "$EXAMPLE"
has out '^"work" "TEL" ;"type"="WORK" ;"type"="VOICE" ;"pref"="1" :"+1-555-0100"$'

# --- a file of several cards: list, each card or one, and format writes them all
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:One\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\nVERSION:4.0\nN:Two;Mr\nEND:VCARD\n' >"$WORK/two.vcf"
run 0 list "$WORK/two.vcf"; printf '1\t1-4\tOne\n2\t6-9\tMr Two\n' | cmp -s - "$WORK/out" || fail "list: $(cat "$WORK/out")"
run 1 check "$WORK/two.vcf"; has out "two.vcf \[1/2\]: valid vCard 4.0; 0 groups, 2 properties"; has out "^FN property must exist"
run 0 check "$WORK/two.vcf" --card 1; has out "two.vcf \[1/2\]: valid"
run 2 check "$WORK/two.vcf" --card 3; has err "holds 2 cards, not 3"
run 2 list "$WORK/two.vcf" --card 1
run 0 format "$WORK/two.vcf"; [ "$(grep -c '^END:VCARD' "$WORK/out")" -eq 2 ] || fail "format wrote $(cat "$WORK/out")"
run 0 format "$WORK/two.vcf" --card 2 -o "$WORK/second.vcf"; grep -q '^N:Two;Mr' "$WORK/second.vcf" || fail "format --card 2"
run 0 dump "$WORK/two.vcf"; [ "$(grep -c '^$' "$WORK/out")" -eq 1 ] || fail "dump of two cards: $(cat "$WORK/out")"

# --- convert: each card in the version asked, through the same write as format; the changes on standard error
run 2 convert "$EXAMPLE"; has err "convert needs --to"
run 2 convert "$EXAMPLE" --to 5.0; has err "2.1, 3.0 or 4.0"
run 2 format "$EXAMPLE" --to 4.0
printf 'BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;Jane\r\nTEL;WORK;PREF:1\r\nEND:VCARD\r\n' >"$WORK/old.vcf"; before="$(sha256sum <"$WORK/old.vcf")"
run 0 convert "$WORK/old.vcf" --to 4.0; has out '^VERSION:4.0'; has out '^FN:Jane Doe'; has out '^TEL;type=WORK;pref=1:1'
has err "old.vcf: vCard 2.1 to 4.0"; has err "FN made"; has err "TYPE=PREF became PREF=1"
run 0 convert "$WORK/old.vcf" --to 3.0 -o "$WORK/new.vcf"; run 0 check "$WORK/new.vcf"; has out "valid vCard 3.0"
[ "$(sha256sum <"$WORK/old.vcf")" = "$before" ] || fail "convert changed its input"
run 0 convert "$WORK/two.vcf" --to 2.1 -o "$WORK/two21.vcf"; has err "two.vcf \[1/2\]: vCard 4.0 to 2.1"; has err "two.vcf \[2/2\]"
[ "$(grep -c '^VERSION:2.1' "$WORK/two21.vcf")" -eq 2 ] || fail "convert of two cards: $(cat "$WORK/two21.vcf")"
run 0 convert "$WORK/two.vcf" --to 3.0 --card 2; has out '^FN:Mr Two'; grep -q 'One' "$WORK/out" && fail "convert --card 2 wrote card 1"
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:One\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\nBROKEN\r\nEND:VCARD\r\n' >"$WORK/half.vcf"
run 1 convert "$WORK/half.vcf" --to 3.0 -o "$WORK/half3.vcf"; has out "Syntax error"
[ -e "$WORK/half3.vcf" ] && fail "convert wrote its output though a card did not load"
ls "$WORK" | grep -q 'tmp$' && fail "convert left a temporary file behind"

if [ $failures -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "vcardtool: all checks passed"
