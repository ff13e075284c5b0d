#!/bin/bash
# prefix.sh <config>: makes a fresh Wine prefix for the configuration's scenarios, puts the
# Setup.exe and ferrowind-check.exe under test beside it, and starts the X server and wineserver they share
# (stop.sh ends both).
. "$(dirname "$0")/common.sh"
UseConfig "${1:?configuration}"
FindTools

mkdir -p "$ConfigWork"
rm -f "$SetupExe" "$CheckExe"
# The x86 program tested is the one vendors ship: the file in the zip, not the build's.
case "$Config" in
  x86-*)
    zip=$(ls "${FERROWIND_X86_BUILD:-}"/FerrowindSetup-*.zip 2>/dev/null | head -n 1)
    [ -n "$zip" ] || Skip "no vendor zip in ${FERROWIND_X86_BUILD:-(unset)}: build windows-x86, then cpack -G ZIP there"
    rm -rf "$ConfigWork/zip"
    mkdir -p "$ConfigWork/zip"
    (cd "$ConfigWork/zip" && cmake -E tar xf "$zip" Setup.exe ferrowind-check.exe) &&
      [ -f "$ConfigWork/zip/Setup.exe" ] && [ -f "$ConfigWork/zip/ferrowind-check.exe" ] ||
      { echo "$zip holds no Setup.exe or ferrowind-check.exe" >&2; exit 1; }
    mv "$ConfigWork/zip/Setup.exe" "$SetupExe"
    mv "$ConfigWork/zip/ferrowind-check.exe" "$CheckExe"
    rm -rf "$ConfigWork/zip"
    source=$zip
    ;;
  x64-*)
    [ -f "${FERROWIND_X64_SETUP_EXE:-}" ] ||
      Skip "no Setup.exe at ${FERROWIND_X64_SETUP_EXE:-(unset)}: build the windows-x64 preset first"
    cp "$FERROWIND_X64_SETUP_EXE" "$SetupExe"
    cp "$(dirname "$FERROWIND_X64_SETUP_EXE")/ferrowind-check.exe" "$CheckExe"
    source=$FERROWIND_X64_SETUP_EXE
    ;;
esac
echo "Setup.exe from $source, sha256 $(sha256sum "$SetupExe" | cut -d' ' -f1)"

StopServers
rm -rf "$WINEPREFIX"
# Booting needs no X server. The desktop that such a boot leaves shows no boxes, so
# StartServers ends the boot's wineserver before it starts the one the scenarios share, on
# the X server. (Booting on the X server instead stalled a later run by some 10 s.)
unset DISPLAY
"$Wine" wineboot -i >"$ConfigWork/wineboot.log" 2>&1 || {
  cat "$ConfigWork/wineboot.log" >&2
  exit 1
}
[ -d "$DriveC/windows" ] || { echo "wineboot made no drive_c" >&2; exit 1; }
# With no window manager on the X server, Wine draws the boxes' frames and captions itself.
"$Wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
StartServers
echo "prefix ready: $WINEPREFIX ($WINEARCH, $Wine), X display $DISPLAY"
