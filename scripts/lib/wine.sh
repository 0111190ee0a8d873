# Wine under Xvfb for the project's scripts: a prefix per Windows build inside the build
# folder, made without prompts, and a display of our own unless one is given.
# Source it, call wine_use_build (win32 or win64), then wine_start_display (tests) and
# wine_prepare_prefix. "$WINE program.exe" runs a program of the chosen build.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree=;mshtml="

XVFB_PID=""
WINE_PREFIXES_STARTED=()

# Chooses the Windows build the next wine commands are for: its prefix, and its loader.
# Debian's wine launcher picks the 32-bit loader whenever it is installed, even for a
# 64-bit program, so x64 programs go through the 64-bit loader by name.
wine_use_build() {
  case "$1" in
    win32)
      export WINEARCH=win32 WINEPREFIX="$ROOT/build/wineprefix"
      unset WINELOADER
      WINE=wine
      ;;
    win64)
      export WINEARCH=win64 WINEPREFIX="$ROOT/build/wineprefix64"
      export WINELOADER=/usr/lib/wine/wine64
      WINE=/usr/lib/wine/wine64
      ;;
    *) echo "wine.sh: no Windows build named '$1'" >&2; return 1 ;;
  esac
  export WINE
}

# Prints win32 when this machine can run the 32-bit build (a kernel with 32-bit support,
# 32-bit Wine installed, and no VCARD_ONLY_X64=1 in the environment), else win64.
wine_preferred_build() {
  if [ "${VCARD_ONLY_X64:-0}" != 1 ] && [ -x /usr/lib/wine/wine ] && "$ROOT/scripts/lib/runs-32bit"; then
    echo win32
  else
    echo win64
  fi
}

# Starts a private Xvfb on a free display number and points DISPLAY at it. The first
# wine command of a server session needs DISPLAY, so this comes before any of them.
# The screen has room for the main window at 144 DPI (964 x 815 pixels).
wine_start_display() {
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$ROOT/build/xvfb.log" 2>&1 &
      XVFB_PID=$!
      local i
      for i in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
      done
    fi
  done
  echo "wine.sh: could not start Xvfb" >&2
  return 1
}

# Stops the servers of every prefix this shell started, then the display.
wine_stop() {
  local prefix
  for prefix in "${WINE_PREFIXES_STARTED[@]}" "${WINEPREFIX:-}"; do
    [ -n "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}

# Makes the prefix once; windows get Wine's own frames (no window manager needed) and
# the caption buttons get their font.
wine_prepare_prefix() {
  mkdir -p "$ROOT/build"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine.sh: creating the Wine prefix in $WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # Visual styles, as the program's manifest asks for them: Wine's own theme.
  if ! grep -q '"ThemeActive"="1"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    local theme='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
    "$WINE" reg add "$theme" /v DllName /t REG_SZ /d 'C:\windows\resources\themes\light\light.msstyles' /f >/dev/null 2>&1
    "$WINE" reg add "$theme" /v ColorName /t REG_SZ /d NormalColor /f >/dev/null 2>&1
    "$WINE" reg add "$theme" /v SizeName /t REG_SZ /d NormalSize /f >/dev/null 2>&1
    "$WINE" reg add "$theme" /v ThemeActive /t REG_SZ /d 1 /f >/dev/null 2>&1
    wineserver -w
  fi
  # Chinese, Japanese and Korean glyphs where the dialogs' font (DejaVu Sans, which has
  # Latin, Greek and Cyrillic) has none: Wine draws them from the font linked to it.
  if [ -e /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] &&
     ! grep -q '^"DejaVu Sans"=str(7):"wqy-microhei' "$WINEPREFIX/system.reg" 2>/dev/null; then
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "DejaVu Sans" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
    wineserver -w
  fi
}

# A persistent server outside ctest's pipes, warmed up, so that each test starts fast.
wine_start_server() {
  wineserver -p
  WINE_PREFIXES_STARTED+=("$WINEPREFIX")
  "$WINE" wineboot </dev/null >/dev/null 2>&1
}

# The Windows form of a Unix path, as the program takes it on its command line.
wine_path() {
  "$WINE" winepath -w "$(realpath "$1")" 2>/dev/null
}
