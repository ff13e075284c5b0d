#!/bin/bash
# What only Windows shows, end to end with the real Setup.exe under Wine: scenarios.sh
# <config> <name>. Every other scenario is data in tests/scenarios, run by scenario.sh.
# Each lays out an IDE folder and a package folder under C:\fw\<name>, sets the registry,
# runs Setup.exe answering its boxes through the X server, and checks what it changed.
. "$(dirname "$0")/common.sh"
EnterScenario "$@"

Name=${2:?scenario name}
Work=$ConfigWork/$Name
Confirmation='You are about to install Widget Pack for Delphi 9\r\n\r\nPlease make sure Delphi is not running.'
Summary='Widget Pack Installation\r\n\r\nAll files copied\r\nAll Components installed\r\n'

# UseFolders <IDE folder> <package folder>, as Windows paths on drive C:.
UseFolders() {
  Root=$1
  RootReg=${Root//\\/\\\\}
  Ide=$(UnixPath "$Root")
  Pkg=$(UnixPath "$2")
  chmod -R u+w "$Ide" "$Pkg" 2>/dev/null
  rm -rf "$Ide" "$Pkg"
  mkdir -p "$Pkg"
  cp "$SetupExe" "$Pkg/Setup.exe"
}

chmod -R u+w "$DriveC/fw/$Name" 2>/dev/null
rm -rf "$DriveC/fw/$Name" "$Work"
mkdir -p "$Work"
UseFolders "C:\\fw\\$Name\\ide" "C:\\fw\\$Name\\pkg"

# A Delphi 9 installation as its own setup would leave it, and a user who has started it.
# With NoInstallation=1 only the user's keys are there.
IdeRegistry() {
  local installation=('[HKEY_LOCAL_MACHINE\SOFTWARE\Borland\Delphi\9.0]' "\"RootDir\"=\"$RootReg\"" \
                      '"Version"="Enterprise"' '')
  [ "${NoInstallation:-0}" = 1 ] && installation=()
  WriteRegistryFile "$Work/registry.reg" 'REGEDIT4' '' "${installation[@]}" \
    '[HKEY_CURRENT_USER\SOFTWARE\Borland\Delphi\9.0\Known Packages]' \
    "\"$RootReg\\\\Bin\\\\dclstd90.bpl\"=\"Borland Standard Components\"" '' \
    '[HKEY_CURRENT_USER\SOFTWARE\Borland\Delphi\9.0\Palette]' \
    '"Standard"="TLabel;TEdit;"' \
    '"Widgets"="TOld"' \
    "$@" ''
}

IdeFolder() {
  mkdir -p "$Ide/Bin" "$Ide/Lib" "$Ide/Help" "$Ide/Source/Vcl"
  echo 'MZ' >"$Ide/Bin/delphi32.exe"
  echo 'unit SysUtils' >"$Ide/Lib/SysUtils.dcu"
  echo 'unit Classes' >"$Ide/Source/Vcl/Classes.pas"
  echo 'the old widget unit' >"$Ide/Lib/WidgetPackOld.dcu"
  chmod 444 "$Ide/Lib/WidgetPackOld.dcu"
  WriteCrLf "$Ide/Help/Delphi9.cfg" ':Link delphi9.hlp' '  :Link win32.hlp  ' '' ''
  WriteCrLf "$Ide/Help/Delphi9.cnt" ':Base delphi9.hlp' ':Title Delphi Help' '1 Delphi Help' \
    ':Index Delphi Reference=delphi9.hlp' ':Index VCL Reference=vcl9.hlp' ':Include win32.cnt'
  echo 'index cache' >"$Ide/Help/Delphi9.gid"
}

PackageFiles() {
  mkdir -p "$Pkg/Files/Lib" "$Pkg/Files/Source/Widgets/Res" "$Pkg/Files/Help" "$Pkg/Files/.svn"
  echo 'widget unit' >"$Pkg/Files/Lib/Widgets.dcu"
  echo 'widget package' >"$Pkg/Files/Lib/WidgetPack.dpl"
  printf 'unit Widgets;\r\ninterface\r\n' >"$Pkg/Files/Source/Widgets/Widgets.pas"
  echo 'icons' >"$Pkg/Files/Source/Widgets/Res/Widgets.res"
  echo 'help' >"$Pkg/Files/Help/Widgets.hlp"
  echo 'not copied: a file beside the folders' >"$Pkg/Files/ReadMe.txt"
  echo 'not copied: a folder named with a full stop' >"$Pkg/Files/.svn/entries"
}

FullConfiguration() {
  WriteCrLf "$Pkg/Setup.cfg" 'PACKAGE=Widget Pack' 'LANGUAGE=Delphi 9' 'PACKAGEFILE=WidgetPack.dpl' \
    'COMPONENT=TWidget Widgets' 'COMPONENT=TWidgetGrid Widget Extras' 'HELPFILE=Widgets.hlp' \
    'COPYDIR=Files' 'DELETE=Lib\WidgetPackOld.dcu' \
    'MESSAGE=Restart Delphi to see the Widgets page.' ''
}

FullLayout() {
  IdeRegistry
  ResetRegistry "$Work/registry.reg"
  IdeFolder
  PackageFiles
  FullConfiguration
}

ExpectFullInstallation() {
  ExpectBoxes "$Confirmation" 'Restart Delphi to see the Widgets page.' "${Summary}Help installed"
  ExportUserKeys "$Work/user.reg"
  ExpectRegLine "$Work/user.reg" "\"$RootReg\\\\Lib\\\\WidgetPack.dpl\"=\"Widget Pack\""
  ExpectRegLine "$Work/user.reg" "\"$RootReg\\\\Bin\\\\dclstd90.bpl\"=\"Borland Standard Components\""
  ExpectRegLine "$Work/user.reg" '"Widgets"="TOld;TWidget;"'
  ExpectRegLine "$Work/user.reg" '"Widget Extras"="TWidgetGrid;"'
  ExpectRegLine "$Work/user.reg" '"Standard"="TLabel;TEdit;"'
  [ "$(grep -c '=' "$Work/user.reg")" -eq 5 ] || Fail "registry: expected 5 values, got $(cat "$Work/user.reg")"
  ExpectFile "$Ide/Help/Delphi9.cfg" $':Link delphi9.hlp\r\n:Link win32.hlp\r\n:LINK Widgets.hlp\r\n\r\n'
  ExpectFile "$Ide/Help/Delphi9.cnt" $':Base delphi9.hlp\r\n:Title Delphi Help\r\n1 Delphi Help\r\n:Index Delphi Reference=delphi9.hlp\r\n:Index VCL Reference=vcl9.hlp\r\n:INDEX Widget Pack=Widgets.hlp\r\n:Include win32.cnt\r\n\r\n'
  ExpectNoFile "$Ide/Help/Delphi9.gid"
  local file
  for file in Lib/Widgets.dcu Lib/WidgetPack.dpl Source/Widgets/Widgets.pas \
              Source/Widgets/Res/Widgets.res Help/Widgets.hlp; do
    cmp -s "$Pkg/Files/$file" "$Ide/$file" || Fail "$file was not copied"
  done
  ExpectNoFile "$Ide/ReadMe.txt"
  ExpectNoFile "$Ide/.svn"
  ExpectNoFile "$Ide/Lib/WidgetPackOld.dcu"
  ExpectFile "$Ide/Lib/SysUtils.dcu" $'unit SysUtils\n'
  local left
  left=$(cd "$Ide" && find . -name '*.tmp' -o -name '*~*')
  [ -z "$left" ] || Fail "temporary files left: $left"
}

# A help configuration file that cannot be rewritten: the Setup.cfg for it, and what must
# hold afterwards. The file stays byte for byte and no temporary file is left; the
# contents file still gains its line; the index cache stays because the help was not
# hooked in; the summary says so.
HelpOnlyConfiguration() {
  WriteCrLf "$Pkg/Setup.cfg" 'PACKAGE=Widget Pack' 'LANGUAGE=Delphi 9' 'PACKAGEFILE=WidgetPack.dpl' \
    'HELPFILE=Widgets.hlp' ''
  cp -p "$Ide/Help/Delphi9.cfg" "$Work/Delphi9.cfg.before"
}

ExpectHelpNotHooked() {
  ExpectBoxes "$Confirmation" "${Summary}NO Help installed"
  cmp -s "$Work/Delphi9.cfg.before" "$Ide/Help/Delphi9.cfg" || Fail "Delphi9.cfg changed"
  grep -q ':INDEX Widget Pack=Widgets.hlp' "$Ide/Help/Delphi9.cnt" || Fail "Delphi9.cnt has no :INDEX line"
  [ -f "$Ide/Help/Delphi9.gid" ] || Fail "Delphi9.gid was removed"
  local listing
  listing=$(ls -A "$Ide/Help" | tr '\n' ' ')
  [ "$listing" = "Delphi9.cfg Delphi9.cnt Delphi9.gid " ] || Fail "Help holds $listing"
}

# HoldFile <Windows path>: another program opens the file with no sharing and keeps it
# open until ReleaseFile.
HoldFile() {
  local arch=${Config%%-*}
  local holdOpen=${FERROWIND_HOLD_OPEN_DIR:-}/HoldOpen-$arch.exe
  [ -f "$holdOpen" ] || Skip "no $holdOpen: the MinGW compiler for $arch is missing"
  local control=$Work/hold.control
  rm -f "$control" "$Work/hold.log"
  mkfifo "$control"
  "$Wine" "$holdOpen" "$1" <"$control" >"$Work/hold.log" 2>&1 &
  HoldPid=$!
  exec 7>"$control"
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q '^held' "$Work/hold.log" 2>/dev/null && return
    kill -0 "$HoldPid" 2>/dev/null || break
    sleep 0.1
  done
  echo "HoldOpen did not hold $1: $(cat "$Work/hold.log")" >&2
  exit 1
}

ReleaseFile() {
  echo stop >&7
  exec 7>&-
  wait "$HoldPid" || Fail "HoldOpen ended with $?: $(cat "$Work/hold.log")"
}

# Another program (the IDE, an editor) holds the help configuration open and shares it
# with nobody: it cannot be read, so it is neither rewritten nor replaced.
ScenarioHeldHelp() {
  IdeRegistry
  ResetRegistry "$Work/registry.reg"
  IdeFolder
  HelpOnlyConfiguration
  HoldFile "$Root\\Help\\Delphi9.cfg"
  RunSetup "$Pkg" ok ok
  ReleaseFile
  ExpectHelpNotHooked
}

# The machine keys of a 32-bit IDE lie in the 32-bit view (Wow6432Node, seen from 64-bit
# programs). The installer finds an IDE registered there, and not one whose key exists only
# in the 64-bit view; the 64-bit build looks where the 32-bit one does.
ScenarioRegistryView() {
  IdeRegistry '' '[HKEY_CURRENT_USER\SOFTWARE\Borland\Delphi\10.0\Known Packages]' \
    '"dclstd100.bpl"="Borland Standard Components"'
  ResetRegistry "$Work/registry.reg"
  mkdir -p "$(UnixPath "C:\\fw\\$Name\\ide10\\Lib")"
  WriteRegistryFile "$Work/registry64.reg" 'REGEDIT4' '' '[HKEY_LOCAL_MACHINE\SOFTWARE\Borland\Delphi\10.0]' \
    "\"RootDir\"=\"C:\\\\fw\\\\$Name\\\\ide10\"" ''
  # Only this scenario writes to the 64-bit view, under a version no other one uses.
  "$Wine" reg delete 'HKLM\Software\Borland' /f /reg:64 >/dev/null 2>&1
  "$Wine" reg import "$Work/registry64.reg" /reg:64 >/dev/null 2>&1 || Fail "reg import /reg:64 failed"
  # The keys are where the test means them to be, seen from the 64-bit view.
  "$Wine" reg query 'HKLM\Software\Wow6432Node\Borland\Delphi\9.0' /v RootDir /reg:64 >/dev/null 2>&1 ||
    Fail "Delphi 9 is not under Wow6432Node"
  "$Wine" reg query 'HKLM\Software\Borland\Delphi\9.0' /reg:64 >/dev/null 2>&1 &&
    Fail "Delphi 9 is in the 64-bit view too"
  "$Wine" reg query 'HKLM\Software\Borland\Delphi\10.0' /v RootDir /reg:64 >/dev/null 2>&1 ||
    Fail "Delphi 10 is not in the 64-bit view"
  "$Wine" reg query 'HKLM\Software\Borland\Delphi\10.0' /reg:32 >/dev/null 2>&1 &&
    Fail "Delphi 10 is in the 32-bit view too"
  IdeFolder
  WriteCrLf "$Pkg/Setup.cfg" 'PACKAGE=Widget Pack' 'LANGUAGE=Delphi 9' 'PACKAGEFILE=WidgetPack.dpl' \
    'LANGUAGE=Delphi 10' 'PACKAGEFILE=WidgetPack.dpl' ''
  RunSetup "$Pkg" ok ok ok
  ExpectBoxes "$Confirmation" \
    'You are about to install Widget Pack for Delphi 10\r\n\r\nPlease make sure Delphi is not running.' \
    'Delphi 10 not found.'
  ExportUserKeys "$Work/user.reg"
  ExpectRegLine "$Work/user.reg" "\"$RootReg\\\\Lib\\\\WidgetPack.dpl\"=\"Widget Pack\""
  [ "$(grep -c '=' "$Work/user.reg")" -eq 5 ] || Fail "registry: expected 5 values, got $(cat "$Work/user.reg")"
}

# Blanks and a letter beyond ASCII (code page 1252) in the IDE folder, as the registry
# holds it, and in the package folder, which the program finds from its own path.
ScenarioAnsiPaths() {
  rm -rf "$(UnixPath 'C:\Program Files (x86)\Bör Tools')"
  UseFolders 'C:\Program Files (x86)\Bör Tools\Delphi 9' "C:\\fw\\$Name\\Pakete für Delphi\\Widget Pack"
  FullLayout
  RunSetup "$Pkg" ok ok ok
  ExpectFullInstallation
  [ -f "$DriveC/Program Files (x86)/Bör Tools/Delphi 9/Lib/Widgets.dcu" ] ||
    Fail "Lib/Widgets.dcu is not in the folder named in UTF-8 on this side"
}

# An IDE folder so deep that its files' paths pass 260 characters, which the ANSI file
# calls refuse: the summary says plainly what was not done, and the program ends normally.
ScenarioLongRoot() {
  local root="C:\\fw\\$Name"
  while [ "${#root}" -lt 236 ]; do root+='\A deep folder of the IDE'; done
  UseFolders "$root\\Delphi 9" "C:\\fw\\$Name\\pkg"
  FullLayout
  cp -p "$Ide/Help/Delphi9.cfg" "$Work/Delphi9.cfg.before"
  [ "${#Root}" -lt 257 ] && [ $((${#Root} + 17)) -gt 260 ] || Fail "IDE folder of ${#Root} characters"
  RunSetup "$Pkg" ok ok ok
  ExpectBoxes "$Confirmation" 'Restart Delphi to see the Widgets page.' \
    'Widget Pack Installation\r\n\r\nNO files copied\r\nAll Components installed\r\nNO Help installed'
  cmp -s "$Work/Delphi9.cfg.before" "$Ide/Help/Delphi9.cfg" || Fail "Delphi9.cfg changed"
  [ -f "$Ide/Help/Delphi9.gid" ] || Fail "Delphi9.gid was removed"
}

case "$Name" in
  held_help) ScenarioHeldHelp ;;
  registry_view) ScenarioRegistryView ;;
  ansi_paths) ScenarioAnsiPaths ;;
  long_root) ScenarioLongRoot ;;
  *) echo "unknown scenario $Name" >&2; exit 2 ;;
esac
Finish
