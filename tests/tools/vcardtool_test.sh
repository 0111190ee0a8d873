#!/bin/bash
# vcardtool as a user runs it: exit codes, messages, and what it writes (and never writes).
# Usage: vcardtool_test.sh TOOL CORPUS_DIR EXAMPLE
set -uo pipefail
TOOL="$1"; CORPUS="$2"; EXAMPLE="$3"
WORK="$(mktemp -d)"
trap 'chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_exit() { # expected actual what
  [ "$1" -eq "$2" ] || fail "$3: exit $2, expected $1"
}
run() { # runs the tool, keeping stdout, stderr and the exit code
  "$TOOL" "$@" >"$WORK/out" 2>"$WORK/err"; status=$?
}

# --- usage
run; expect_exit 2 $status "no arguments"
grep -q '^usage: vcardtool check FILE' "$WORK/err" || fail "usage text missing"
run frobnicate "$EXAMPLE"; expect_exit 2 $status "unknown command"
run check "$EXAMPLE" -o x; expect_exit 2 $status "option of another command"
run format "$EXAMPLE" --escape-colon=2; expect_exit 2 $status "bad escape-colon value"

# --- check
run check "$WORK/missing.vcf"; expect_exit 1 $status "missing file"
grep -q "Cannot open vCard file" "$WORK/err" || fail "missing file: no message on stderr"
grep -q "\[0x80070002\]" "$WORK/err" || fail "missing file: no code line"

run check "$EXAMPLE"; expect_exit 0 $status "check sample"
grep -q "valid; 2 groups, 11 properties, 8 parameters" "$WORK/out" || fail "check sample summary: $(cat "$WORK/out")"

printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nBROKEN\r\n' >"$WORK/broken.vcf"
run check "$WORK/broken.vcf"; expect_exit 1 $status "check broken"
printf 'Not a valid vCard file %s\n[0x80004005] ' "$WORK/broken.vcf" >"$WORK/expected-head"
head -c "$(stat -c %s "$WORK/expected-head")" "$WORK/out" | cmp -s - "$WORK/expected-head" \
  || fail "check broken: message head: $(cat "$WORK/out")"
tail -n 2 "$WORK/out" | cmp -s - <(printf "Syntax error at line 3 [missing ':']:\nBROKEN\n") \
  || fail "check broken: detail: $(cat "$WORK/out")"

printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nNOTE:x\r\n' >"$WORK/nofn.vcf"
run check "$WORK/nofn.vcf"; expect_exit 1 $status "check without FN"
printf 'The vCard data is not valid.\nFN property must exist\n' | cmp -s - "$WORK/out" \
  || fail "check without FN: $(cat "$WORK/out")"

# --- format
cp "$EXAMPLE" "$WORK/in.vcf"; before="$(sha256sum <"$WORK/in.vcf")"
run format "$WORK/in.vcf"; expect_exit 0 $status "format to standard output"
cp "$WORK/out" "$WORK/stdout.vcf"
run format "$WORK/in.vcf" -o "$WORK/a.vcf"; expect_exit 0 $status "format -o"
cmp -s "$WORK/a.vcf" "$WORK/stdout.vcf" || fail "format -o differs from standard output"
[ "$(grep -c $'\r$' "$WORK/a.vcf")" -eq "$(wc -l <"$WORK/a.vcf")" ] || fail "format: not every line ends with CR LF"
run format "$WORK/a.vcf" -o "$WORK/b.vcf"; cmp -s "$WORK/a.vcf" "$WORK/b.vcf" || fail "format is not a fixed point"
[ "$(sha256sum <"$WORK/in.vcf")" = "$before" ] || fail "the input file changed"
ls "$WORK" | grep -q '\.tmp$' && fail "a temporary file was left behind"

# A file named like the temporary file belongs to the user: it is never touched.
printf 'mine\n' >"$WORK/a.tmp"; printf 'old\n' >"$WORK/a.vcf"
run format "$WORK/in.vcf" -o "$WORK/a.vcf"; expect_exit 0 $status "format beside a user's .tmp"
[ "$(cat "$WORK/a.tmp")" = "mine" ] || fail "the user's a.tmp was overwritten"
cmp -s "$WORK/a.vcf" "$WORK/stdout.vcf" || fail "format beside a user's .tmp: wrong output"
[ "$(ls "$WORK" | grep -c 'tmp$')" -eq 1 ] || fail "format beside a user's .tmp: temporary file left"

# The output must not be the input, however it is named.
run format "$WORK/in.vcf" -o "$WORK/./in.vcf"; expect_exit 2 $status "output is the input"
[ "$(sha256sum <"$WORK/in.vcf")" = "$before" ] || fail "the input file changed"

# A folder that cannot be written: the old output stays whole.
mkdir "$WORK/locked"; printf 'old\n' >"$WORK/locked/c.vcf"; chmod a-w "$WORK/locked"
if [ "$(id -u)" -ne 0 ]; then
  run format "$WORK/in.vcf" -o "$WORK/locked/c.vcf"; expect_exit 1 $status "unwritable folder"
  grep -q "Cannot create vCard file" "$WORK/err" || fail "unwritable folder: message"
  [ "$(cat "$WORK/locked/c.vcf")" = "old" ] || fail "unwritable folder: old output changed"
fi
run format "$WORK/in.vcf" -o "$WORK/no/such/dir/c.vcf"; expect_exit 1 $status "missing folder"
grep -q "Cannot create vCard file" "$WORK/err" || fail "missing folder: message"

printf 'BEGIN:VCARD\r\nNOTE:a:b\r\n' >"$WORK/colon.vcf"
run format "$WORK/colon.vcf" --escape-colon=1
grep -q 'NOTE:a\\:b' "$WORK/out" || fail "--escape-colon=1 does not escape"
run format "$WORK/colon.vcf"
grep -q 'NOTE:a:b' "$WORK/out" || fail "format escapes a colon that the file did not"

# --- dump: a card and its formatted copy dump alike
for f in "$CORPUS"/*.vcf "$EXAMPLE"; do
  "$TOOL" dump "$f" >"$WORK/d0" 2>/dev/null || continue
  "$TOOL" format "$f" -o "$WORK/f.vcf" || { fail "format $(basename "$f")"; continue; }
  "$TOOL" dump "$WORK/f.vcf" >"$WORK/d1" || fail "dump of formatted $(basename "$f")"
  cmp -s "$WORK/d0" "$WORK/d1" || fail "dump differs after format: $(basename "$f")"
done
run dump "$EXAMPLE"
grep -qx '"work" "TEL" ;"type"="WORK" ;"type"="VOICE" ;"pref"="1" :"+1-555-0100"' "$WORK/out" \
  || fail "dump form of a grouped TEL"

if [ $failures -ne 0 ]; then echo "$failures failures"; exit 1; fi
echo "vcardtool: all checks passed"
