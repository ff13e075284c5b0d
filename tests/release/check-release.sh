#!/usr/bin/env bash
# Checks the shipped 32-bit Setup.exe and the vendor zip: imports, the oldest Windows that
# loads the programs, size, version resource, manifest, the zip's contents and checksums, and
# that two builds of this source in other folders give the same bytes. Exit 77 (skipped)
# when the Windows build is absent.
set -u
build=$(cd "${1:?usage: check-release.sh BUILD_DIR}" 2>/dev/null && pwd) || build=$1
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
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

# The oldest Windows: the header asks for a subsystem version the loader of Windows XP (5.1)
# accepts, and every imported function is one that XP's DLL exports (windows-xp-functions.txt).
for program in "$exe" "$build/ferrowind-check.exe"; do
  header=$("$objdump" -p "$program")
  major=$(sed -n 's/^MajorSubsystemVersion\s*//p' <<<"$header")
  minor=$(sed -n 's/^MinorSubsystemVersion\s*//p' <<<"$header")
  echo "$(basename "$program"): subsystem version $major.$minor"
  [ $((major * 100 + minor)) -le 501 ] || fail "$(basename "$program") asks for Windows $major.$minor; XP refuses it"
  while read -r dll function; do
    awk -v dll="[$dll]" -v f="$function" '/^\[/ { in_dll = toupper($0) == dll } in_dll && $0 == f { found = 1 }
      END { exit !found }' "$here/windows-xp-functions.txt" ||
      fail "$(basename "$program") imports $dll $function, which Windows XP lacks"
  done < <(awk '/DLL Name:/ { dll = toupper($3) } dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }
                /^$/ { dll = "" }' <<<"$header")
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
for file in Keywords.txt README.txt SHA256SUMS Setup.cfg Setup.exe ferrowind-check.exe Files/Help/Widgets.hlp \
            Files/Lib/WidgetPack.dpl Files/Lib/Widgets.dcu Files/Source/Widgets/Widgets.pas; do
  grep -qw "$file" <<<"$listing" || fail "zip lacks $file"
done
unpacked=$(mktemp -d)
(cd "$unpacked" && cmake -E tar xf "$zip")
cmp -s "$unpacked/Setup.exe" "$exe" || fail "the zip's Setup.exe is not the one built"
[ "$(cut -d' ' -f3 "$unpacked/SHA256SUMS" 2>/dev/null | tr '\n' ' ')" = "Setup.exe ferrowind-check.exe " ] ||
  fail "SHA256SUMS does not list Setup.exe and ferrowind-check.exe"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the zip's programs"
[ "$(tail -c 4 "$unpacked/Setup.cfg" | od -An -c | tr -d ' ')" = '\r\n\r\n' ] ||
  fail "the example Setup.cfg does not end with CR LF and an empty line"
rm -rf "$unpacked"

# Reproducible: the source copied into two other folders and built there, one after the
# other, gives the same bytes, and those of the programs built here.
CopySource() {
  mkdir -p "$1"
  if git -C "$source" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$source" && git ls-files -z --cached --others --exclude-standard |
      tar --null --ignore-failed-read -T - -cf -) | tar -C "$1" -xf -
  else
    tar -C "$source" --exclude=./build --exclude=./scratch -cf - . | tar -C "$1" -xf -
  fi
}
Rebuild() {
  CopySource "$1/src" && (cd "$1/src" && cmake --preset windows-x86 -B "$1/build" >"$1/build.log" 2>&1 &&
    cmake --build "$1/build" -j2 --target Setup ferrowind-check >>"$1/build.log" 2>&1) ||
    { cat "$1/build.log"; return 1; }
}
twice=$(mktemp -d)
if Rebuild "$twice/first" && sleep 1 && Rebuild "$twice/second-build"; then
  for program in Setup.exe ferrowind-check.exe; do
    one=$twice/first/build/$program
    if ! cmp "$one" "$twice/second-build/build/$program"; then
      fail "$program differs between two builds of the same source"
    elif ! cmp "$one" "$build/$program"; then
      fail "$program in $build is not what this source builds (rebuild it)"
    else
      echo "reproducible: $program $(sha256sum "$one" | cut -d' ' -f1)"
    fi
  done
else
  fail "the source did not build in another folder"
fi
rm -rf "$twice"

[ "$failures" -eq 0 ] && echo "release checks passed"
exit $((failures > 0))
