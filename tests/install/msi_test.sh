#!/bin/bash
# The Windows Installer package of one architecture, installed as a user would under Wine:
# in a fresh prefix of its own (build/msiprefix64 or build/msiprefix), silently
# (msiexec /qn), first a package of a lower version and then the real one over it. It
# finds the program, its help, the Start menu shortcut, the "Open with" registration and
# the uninstall entry; opens a card through the command registered for .vcf and finds the
# editor's window titled with the card's name; checks that an older package refuses to go
# over the newer; uninstalls, and finds nothing left of what was placed. The prefix holds a
# default program for .vcf beforehand, which must stay the default throughout.
# Usage: msi_test.sh x64|x86   (after scripts/package; x86 needs 32-bit Wine)
set -uo pipefail
ARCH="${1:-}"
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/lib/wine.sh"
case "$ARCH" in
  x64) wine_use_build win64; export WINEPREFIX="$ROOT/build/msiprefix64" ;;
  x86) wine_use_build win32; export WINEPREFIX="$ROOT/build/msiprefix" ;;
  *) echo "usage: msi_test.sh x64|x86" >&2; exit 2 ;;
esac
# Shortcuts made in the prefix stay there: no menu entries for the desktop of this machine.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

FAILS=0
ok()   { echo "  ok: $*"; }
fail() { echo "  FAIL: $*"; FAILS=$((FAILS + 1)); }
check() { local what="$1"; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
not() { ! "$@"; }
has_value() { reg_value "$@" >/dev/null; }
# A value of a key as reg prints it ("" for the default value), or nothing when absent.
reg_value() {
  local out
  if [ -z "$2" ]; then out="$("$WINE" reg query "$1" /ve 2>/dev/null)"; else out="$("$WINE" reg query "$1" /v "$2" 2>/dev/null)"; fi
  [ $? -eq 0 ] || return 1
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    [^ ].*    REG_[A-Z_]*    \{0,1\}//p' | head -1
}
key_exists() { "$WINE" reg query "$1" >/dev/null 2>&1; }
msiexec() { timeout 600 "$WINE" msiexec "$@" </dev/null >/dev/null 2>&1; local s=$?; wineserver -w; return $s; }
# The uninstall entries of this program: "KEY<tab>VERSION" per entry.
uninstall_entries() {
  local root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' key
  "$WINE" reg query "$root" 2>/dev/null | tr -d '\r' | grep -i "^HKEY.*Uninstall\\\\." | while read -r key; do
    [ "$(reg_value "$key" DisplayName)" = "Oskan vCard Editor" ] && printf '%s\t%s\n' "$key" "$(reg_value "$key" DisplayVersion)"
  done
}

PACKAGE="$(ls "$ROOT"/build/dist/vcardedit-*-"$ARCH".msi 2>/dev/null | head -1)"
[ -f "$PACKAGE" ] || { echo "FAIL: no build/dist/vcardedit-*-$ARCH.msi (run scripts/package)"; exit 1; }
VERSION="$(msiinfo export "$PACKAGE" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')"
OLD_VERSION="$(python3 -c 'import sys
v = [int(x) for x in sys.argv[1].split(".")]
i = max(i for i, x in enumerate(v) if x > 0)
v[i] -= 1; v[i + 1:] = [0] * (len(v) - i - 1)
print(".".join(map(str, v)))' "$VERSION")" || { echo "FAIL: no version below $VERSION"; exit 1; }
echo "== installer test: $(basename "$PACKAGE") ($VERSION), after a package of $OLD_VERSION, in ${WINEPREFIX#$ROOT/}"

# The package of the lower version: the same program, and a help file of other bytes,
# so that the files found after the upgrade tell which package placed them.
WORK="$ROOT/build/msi-test-$ARCH"
rm -rf "$WORK" && mkdir -p "$WORK/old"
msiextract -C "$WORK/new" "$PACKAGE" >/dev/null
NEW_EXE="$(find "$WORK/new" -name vcardedit.exe)" NEW_CHM="$(find "$WORK/new" -name vcardedit.chm)"
[ -f "$NEW_EXE" ] && [ -f "$NEW_CHM" ] || { echo "FAIL: the package does not hold vcardedit.exe and vcardedit.chm"; exit 1; }
cp "$NEW_EXE" "$WORK/old/" && { cat "$NEW_CHM"; echo "older help"; } >"$WORK/old/vcardedit.chm"
"$ROOT/scripts/lib/build-msi" "$ARCH" "$OLD_VERSION" "$WORK/old" "$WORK/vcardedit-old-$ARCH.msi" ||
  { echo "FAIL: could not build the package of $OLD_VERSION"; exit 1; }

if [ -z "${DISPLAY:-}" ]; then wine_start_display || exit 1; fi
trap 'wineserver -k 2>/dev/null; wine_stop' EXIT
rm -rf "$WINEPREFIX"
wine_prepare_prefix >/dev/null
# The program the user chose for cards: the package must leave it the default.
"$WINE" reg add 'HKLM\Software\Classes\.vcf' /ve /d ChosenEditor.vcf /f >/dev/null 2>&1
"$WINE" reg add 'HKLM\Software\Classes\ChosenEditor.vcf\shell\open\command' /ve /d 'notepad.exe "%1"' /f >/dev/null 2>&1
wineserver -w

DIR="$WINEPREFIX/drive_c/Program Files/Oskan vCard Editor"
PROGID='HKCR\OskanVCardEditor.vcf' APPKEY='HKCR\Applications\vcardedit.exe'
COMMAND="\"C:\\Program Files\\Oskan vCard Editor\\vcardedit.exe\" \"%1\""
ICON="\"C:\\Program Files\\Oskan vCard Editor\\vcardedit.exe\",0"
# Wine places an all-users shortcut in the user's Programs folder; Windows in ProgramData's.
shortcuts() {
  find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
       "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs \
       -iname '*.lnk' 2>/dev/null | grep -i 'Oskan vCard Editor'
}

echo "-- install $OLD_VERSION, then $VERSION over it"
check "msiexec /i of the $OLD_VERSION package succeeds" msiexec /i "$(wine_path "$WORK/vcardedit-old-$ARCH.msi")" /qn
entries="$(uninstall_entries)"
check "one uninstall entry, of version $OLD_VERSION" test "$(printf '%s\n' "$entries" | cut -f2)" = "$OLD_VERSION"
check "msiexec /i of the $VERSION package succeeds" msiexec /i "$(wine_path "$PACKAGE")" /qn
entries="$(uninstall_entries)"
check "one uninstall entry left, of version $VERSION (found: $(printf '%s' "$entries" | cut -f2 | tr '\n' ' '))" \
  test "$(printf '%s\n' "$entries" | cut -f2)" = "$VERSION"
check "the program is the package's: $DIR/vcardedit.exe" cmp -s "$DIR/vcardedit.exe" "$NEW_EXE"
check "the help is the package's, not the older one's: $DIR/vcardedit.chm" cmp -s "$DIR/vcardedit.chm" "$NEW_CHM"
check "nothing else in the program's folder" test "$(ls "$DIR" | tr '\n' ' ')" = "vcardedit.chm vcardedit.exe "
LINK="$(shortcuts)"
check "one Start menu shortcut: ${LINK#$WINEPREFIX/}" test "$(printf '%s' "$LINK" | grep -c .)" = 1
check "the shortcut starts the installed program" grep -aqi 'Oskan vCard Editor\\vcardedit.exe' "$LINK"

echo "-- the uninstall entry"
key="$(printf '%s\n' "$entries" | cut -f1 | head -1)"
check "Publisher is Oskan" test "$(reg_value "$key" Publisher)" = Oskan
check "DisplayVersion is $VERSION" test "$(reg_value "$key" DisplayVersion)" = "$VERSION"
code="${key##*\\}"
packed="$(python3 -c 'import sys
g = sys.argv[1].strip("{}").replace("-", "")
print(g[7::-1] + g[11:7:-1] + g[15:11:-1] + "".join(g[i + 1] + g[i] for i in range(16, 32, 2)))' "$code")"
product_icon="$(reg_value "HKCR\\Installer\\Products\\$packed" ProductIcon)"
icon_file="$("$WINE" winepath -u "${product_icon:-none}" 2>/dev/null)"
check "the product's icon ($product_icon) is the program's icon" cmp -s "$icon_file" "$ROOT/res/images/app.ico"

echo "-- Open with for .vcf"
check "$PROGID opens with $COMMAND" test "$(reg_value "$PROGID\\shell\\open\\command" "")" = "$COMMAND"
check "$PROGID has the program's icon" test "$(reg_value "$PROGID\\DefaultIcon" "")" = "$ICON"
check "HKCR\\.vcf\\OpenWithProgids names OskanVCardEditor.vcf" has_value 'HKCR\.vcf\OpenWithProgids' OskanVCardEditor.vcf
check "$APPKEY lists .vcf among its SupportedTypes" has_value "$APPKEY\\SupportedTypes" .vcf
check "$APPKEY opens with $COMMAND" test "$(reg_value "$APPKEY\\shell\\open\\command" "")" = "$COMMAND"
check "the default program for .vcf is still the user's (ChosenEditor.vcf)" test "$(reg_value 'HKCR\.vcf' "")" = ChosenEditor.vcf

echo "-- a card opened through the registered command"
CARD="$WORK/installer card.vcf"
cp "$ROOT/examples/sample.vcf" "$CARD"
command="$(reg_value "$PROGID\\shell\\open\\command" "")"
if [[ "$command" =~ ^\"([^\"]+)\"\ \"%1\"$ ]]; then
  "$WINE" "${BASH_REMATCH[1]}" "$(wine_path "$CARD")" >/dev/null 2>&1 &
  pid=$!
  window=""
  for _ in $(seq 300); do
    window="$(xdotool search --name '^Oskan vCard Editor - installer card\.vcf$' 2>/dev/null | head -1)"
    [ -n "$window" ] || ! kill -0 $pid 2>/dev/null && break
    sleep 0.2
  done
  check "the installed program shows 'Oskan vCard Editor - installer card.vcf'" test -n "$window"
  if [ -n "$window" ]; then
    # A real key stroke into the focused window, as tests/ui/blackbox_test.sh closes it.
    xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key Escape
  fi
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
  if kill -0 $pid 2>/dev/null; then fail "the editor did not close on Escape"; kill $pid; fi
  wait $pid 2>/dev/null
else
  fail "the open command '$command' is not of the form \"PROGRAM\" \"%1\""
fi

echo "-- a package of a lower version over this one"
check "msiexec /i of the $OLD_VERSION package is refused" not msiexec /i "$(wine_path "$WORK/vcardedit-old-$ARCH.msi")" /qn
check "the $VERSION package is still the one installed" test "$(uninstall_entries | cut -f2)" = "$VERSION"
check "its help is still in place" cmp -s "$DIR/vcardedit.chm" "$NEW_CHM"

echo "-- uninstall"
check "msiexec /x succeeds" msiexec /x "$(wine_path "$PACKAGE")" /qn
check "no program folder left" test ! -e "$DIR"
check "no shortcut left" test -z "$(shortcuts)"
check "no uninstall entry left" test -z "$(uninstall_entries)"
check "no cached product icon left" test ! -e "$icon_file"
check "no $PROGID left" not key_exists "$PROGID"
check "no $APPKEY left" not key_exists "$APPKEY"
check "no OskanVCardEditor.vcf in HKCR\\.vcf\\OpenWithProgids" not has_value 'HKCR\.vcf\OpenWithProgids' OskanVCardEditor.vcf
check "the default program for .vcf is still the user's (ChosenEditor.vcf)" test "$(reg_value 'HKCR\.vcf' "")" = ChosenEditor.vcf
check "no key of the program under HKLM\\Software" not key_exists 'HKLM\Software\Oskan'
check "the card is as it was" cmp -s "$CARD" "$ROOT/examples/sample.vcf"

if [ "$FAILS" -ne 0 ]; then echo "installer test ($ARCH): $FAILS failed (${SECONDS}s)"; exit 1; fi
echo "installer test ($ARCH): passed (${SECONDS}s)"
