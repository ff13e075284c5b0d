#!/usr/bin/env bash
# Checks the shipped 32-bit Setup.exe and the vendor zip: imports, size, version resource,
# manifest, and the zip's contents. Exit 77 (skipped) when the Windows build is absent.
set -u
build=$(cd "${1:?usage: check-release.sh BUILD_DIR}" 2>/dev/null && pwd) || build=$1
exe=$build/Setup.exe
zip=$(ls "$build"/FerrowindSetup-*.zip 2>/dev/null | head -n 1)
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump)
if [ ! -f "$exe" ] || [ -z "$zip" ] || [ -z "$objdump" ]; then
  echo "skipped: build the windows-x86 preset and its zip (cpack -G ZIP) first"
  exit 77
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$objdump" -f "$exe" | grep -q 'file format pei-i386' || fail "Setup.exe is not a 32-bit Windows program"

imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u | tr '\n' ' ')
echo "imports: $imports"
for dll in $imports; do
  case "$dll" in KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|MSVCRT.DLL) ;; *) fail "imports $dll" ;; esac
done

size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -le 262144 ] || fail "Setup.exe is $size bytes, over 256 KiB"

"$objdump" -h "$exe" | grep -q '\.rsrc' || fail "no resource section"
wide=$(strings -el "$exe")
for text in "ProductName" "FileDescription" "Ferrowind Component Installer" "FileVersion"; do
  grep -qF "$text" <<<"$wide" || fail "version resource lacks $text"
done
narrow=$(strings "$exe")
for text in 'requestedExecutionLevel level="highestAvailable"' 'Microsoft.Windows.Common-Controls' \
            'e2011457-1546-43c5-a5fe-008deee3d3f0' '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' 'dpiAware'; do
  grep -qF "$text" <<<"$narrow" || fail "manifest lacks $text"
done

listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "zip: $listing"
for file in Keywords.txt README.txt Setup.cfg Setup.exe ferrowind-check.exe Files/Help/Widgets.hlp \
            Files/Lib/WidgetPack.dpl Files/Lib/Widgets.dcu Files/Source/Widgets/Widgets.pas; do
  grep -qw "$file" <<<"$listing" || fail "zip lacks $file"
done
unpacked=$(mktemp -d)
(cd "$unpacked" && cmake -E tar xf "$zip")
cmp -s "$unpacked/Setup.exe" "$exe" || fail "the zip's Setup.exe is not the one built"
[ "$(tail -c 4 "$unpacked/Setup.cfg" | od -An -c | tr -d ' ')" = '\r\n\r\n' ] ||
  fail "the example Setup.cfg does not end with CR LF and an empty line"
rm -rf "$unpacked"

[ "$failures" -eq 0 ] && echo "release checks passed"
exit $((failures > 0))
