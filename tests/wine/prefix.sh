#!/bin/bash
# Makes a fresh Wine prefix for the scenarios of this run, and starts the X server and
# wineserver they share (stop.sh ends both).
. "$(dirname "$0")/common.sh"
FindTools
FindSetup
SetPrefix

mkdir -p "$FERROWIND_WINE_WORK"
StopServers
rm -rf "$WINEPREFIX"
# Booting needs no X server.
unset DISPLAY
"$Wine" wineboot -i >"$FERROWIND_WINE_WORK/wineboot.log" 2>&1 || {
  cat "$FERROWIND_WINE_WORK/wineboot.log" >&2
  exit 1
}
"$WineServer" -w
[ -d "$DriveC/windows" ] || { echo "wineboot made no drive_c" >&2; exit 1; }
# With no window manager on the X server, Wine draws the boxes' frames and captions itself.
"$Wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
StartServers
echo "prefix ready: $WINEPREFIX, X display $DISPLAY"
