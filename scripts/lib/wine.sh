# Wine under Xvfb for the project's scripts: a 32-bit prefix inside the build folder,
# made without prompts, and a display of our own unless one is given.
# Source it, then call wine_start_display (tests) and wine_prepare_prefix.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win32
export WINEPREFIX="$ROOT/build/wineprefix"
export WINEDLLOVERRIDES="mscoree=;mshtml="

XVFB_PID=""

# Starts a private Xvfb on a free display number and points DISPLAY at it. The first
# wine command of a server session needs DISPLAY, so this comes before any of them.
wine_start_display() {
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$ROOT/build/xvfb.log" 2>&1 &
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

wine_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}

# Makes the prefix once; windows get Wine's own frames (no window manager needed) and
# the caption buttons get their font.
wine_prepare_prefix() {
  mkdir -p "$ROOT/build"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine.sh: creating the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# A persistent server outside ctest's pipes, warmed up, so that each test starts fast.
wine_start_server() {
  wineserver -p
  wine wineboot </dev/null >/dev/null 2>&1
}
