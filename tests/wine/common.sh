# Shared by the Wine end-to-end scripts: finding the tools, the prefix, registry set-up and
# checks, running Setup.exe while answering its boxes, and assertions.
# Expects FERROWIND_WINE_WORK, the scratch folder that holds one folder per configuration.

set -u

SkipCode=77
Caption="Ferrowind Component Installer"

Skip() {
  echo "SKIPPED: $*"
  exit "$SkipCode"
}

Fail() {
  echo "FAILED: $*" >&2
  Failures=$((Failures + 1))
}

Failures=0
# The system's interpreter when there is one: a version manager's shim costs a third of a
# second at every start.
Python=/usr/bin/python3
[ -x "$Python" ] || Python=python3

# UseConfig <config>: the environment for one configuration (x86-win64, x86-win32 or
# x64-win64), given FERROWIND_WINE_WORK. Exports WINEPREFIX, WINEARCH, WINELOADER,
# WINEDLLOVERRIDES, WINEDEBUG, LC_ALL, and DISPLAY while the configuration's X server runs
# (it is unset otherwise, so that nothing appears on the caller's screen, unless OnXServer
# gave the script a private X server). Sets Config, ConfigWork (the configuration's scratch
# folder), Wine (the loader to run), WineServer, DriveC, SetupExe and CheckExe (the
# Setup.exe and ferrowind-check.exe under test, put there by prefix.sh).
UseConfig() {
  Config=${1:?configuration}
  [ -n "${FERROWIND_WINE_WORK:-}" ] || { echo "FERROWIND_WINE_WORK is not set" >&2; exit 1; }
  local loader
  case "$Config" in
    x86-win64 | x64-win64) WINEARCH=win64 loader=wine64 ;;
    x86-win32) WINEARCH=win32 loader=wine ;;
    *) echo "unknown Wine configuration $Config" >&2; exit 2 ;;
  esac
  Wine=/usr/lib/wine/$loader
  [ -x "$Wine" ] || Wine=$(command -v "$loader" || true)
  WineServer=""
  local candidate
  for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32 "$(command -v wineserver || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then WineServer=$candidate; break; fi
  done
  ConfigWork=$FERROWIND_WINE_WORK/$Config
  export WINEARCH WINEPREFIX=$ConfigWork/prefix WINELOADER=$Wine
  # No Mono or Gecko installers: they would ask in a box of their own. No menu entries in
  # the user's desktop for the prefix's programs.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEDEBUG=-all
  # Wine names Unix files in the locale's character set and picks the ANSI code page from
  # the locale: C.UTF-8 gives UTF-8 names and code page 1252 whatever the caller's locale.
  export LC_ALL=C.UTF-8
  DriveC=$WINEPREFIX/drive_c
  SetupExe=$ConfigWork/Setup.exe
  CheckExe=$ConfigWork/ferrowind-check.exe
  local display pid
  display=$(cat "$ConfigWork/xvfb.display" 2>/dev/null)
  pid=$(cat "$ConfigWork/xvfb.pid" 2>/dev/null)
  if [ -n "$display" ] && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    export DISPLAY=:$display
  elif [ -z "${FERROWIND_WINE_ON_X:-}" ]; then
    unset DISPLAY
  fi
}

# RequireX86: an x86 configuration runs only where 32-bit programs start (probe-x86.sh,
# whose answer scripts/test passes down in FERROWIND_X86_PROBE so that a run probes once).
# Otherwise the test is skipped with the probe's reason, or fails under FERROWIND_REQUIRE_X86=1.
RequireX86() {
  [[ "$Config" == x86-* ]] || return 0
  local probe=${FERROWIND_X86_PROBE:-}
  [ -n "$probe" ] || probe=$(bash "$(dirname "${BASH_SOURCE[0]}")/probe-x86.sh")
  [ "$probe" = runs ] && return 0
  if [ "${FERROWIND_REQUIRE_X86:-0}" = 1 ]; then
    echo "FAILED: $Config needs 32-bit programs (FERROWIND_REQUIRE_X86=1): $probe" >&2
    exit 1
  fi
  Skip "$Config: $probe"
}

FindTools() {
  RequireX86
  if [ -z "$Wine" ] || [ ! -x "$Wine" ]; then
    Skip "wine64 is not installed (Debian package wine64)"
  fi
  [ -n "$WineServer" ] || Skip "wineserver is not installed (Debian package wine64)"
  command -v xvfb-run >/dev/null && command -v Xvfb >/dev/null ||
    Skip "xvfb-run or Xvfb is not installed (Debian package xvfb)"
  command -v xdotool >/dev/null || Skip "xdotool is not installed (Debian package xdotool)"
  command -v iconv >/dev/null || Skip "iconv is not installed"
}

# The X server that prefix.sh started for the whole run, when it runs; otherwise the
# calling script runs again on a private one.
OnXServer() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${FERROWIND_WINE_ON_X:-}" ]; then
    FERROWIND_WINE_ON_X=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$@"
  fi
}

# EnterScenario CONFIG ARG...: what a scenario script needs before it starts, given the
# script's own arguments: the configuration's environment, the tools, the Setup.exe under
# test and the prefix, on the configuration's X server.
EnterScenario() {
  UseConfig "${1:?configuration}"
  FindTools
  # The Setup.exe that prefix.sh put in the configuration's folder.
  [ -f "$SetupExe" ] || Skip "no $SetupExe: wine.$Config.prefix did not run or found no build"
  [ -d "$DriveC/windows" ] || { echo "no Wine prefix at $WINEPREFIX: run prefix.sh first" >&2; exit 1; }
  OnXServer "$@"
}

# Starts an X server and a wineserver that outlive this script, so that each scenario
# starts in a moment instead of booting Wine's services again. StopServers ends them.
StartServers() {
  StopServers
  rm -f "$ConfigWork/xvfb.display"
  setsid Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp \
    3>"$ConfigWork/xvfb.display" </dev/null >"$ConfigWork/xvfb.log" 2>&1 &
  echo $! >"$ConfigWork/xvfb.pid"
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$ConfigWork/xvfb.display" ] && break
    sleep 0.1
  done
  [ -s "$ConfigWork/xvfb.display" ] || { echo "Xvfb did not start" >&2; exit 1; }
  DISPLAY=:$(cat "$ConfigWork/xvfb.display")
  export DISPLAY
  # Stays 30 s after the last Wine process, so a run that is cut short leaves nothing.
  "$WineServer" -p30 </dev/null >/dev/null 2>&1
  "$Wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

StopServers() {
  "$WineServer" -k >/dev/null 2>&1 || true
  "$WineServer" -w >/dev/null 2>&1 || true
  local pid
  pid=$(cat "$ConfigWork/xvfb.pid" 2>/dev/null)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
  rm -f "$ConfigWork/xvfb.pid" "$ConfigWork/xvfb.display"
}

# Empties the Borland keys, then imports a REGEDIT4 file into the 32-bit view, where the
# IDEs register and where the 64-bit Setup.exe looks too (a 32-bit prefix has that view only,
# and /reg:32 names it). The user's Software key is one for both views, and is emptied by the
# import itself; Wine's import leaves a machine key of the 32-bit view in place.
ResetRegistry() {
  local file=$1.reset
  "$Wine" reg delete 'HKLM\Software\Borland' /f /reg:32 >/dev/null 2>&1 || true
  { printf 'REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\SOFTWARE\\Borland]\r\n'; tail -n +2 "$1"; } >"$file"
  "$Wine" reg import "$file" /reg:32 >/dev/null 2>&1 || { echo "reg import $1 failed" >&2; exit 1; }
}

# The user's Borland key as UTF-8 text with LF line ends, without the header line.
ExportUserKeys() {
  local out=$1
  local raw=$out.utf16 try
  : >"$out"
  # An export can fail while another Wine program of the prefix ends; only a key that is not
  # there exports as nothing.
  for try in 1 2 3; do
    rm -f "$raw"
    if "$Wine" reg export 'HKCU\Software\Borland' "Z:${raw//\//\\}" /y /reg:32 >"$raw.log" 2>&1; then
      iconv -f UTF-16 -t UTF-8 "$raw" | tr -d '\r' | sed 1d >"$out"
      break
    fi
    "$Wine" reg query 'HKCU\Software\Borland' /reg:32 >/dev/null 2>&1 || break
    [ "$try" -lt 3 ] || Fail "reg export of the user's keys failed: $(tr -d '\r' <"$raw.log")"
    sleep 0.5
  done
  rm -f "$raw" "$raw.log"
}

# Every file below a folder with its size, checksum and modification time.
Snapshot() {
  (cd "$1" && find . -printf '%p %y %s %m %T@\n' | sort && find . -type f -exec md5sum {} + | sort -k2)
}

# Runs Setup.exe in folder (the package folder, also the working folder) and answers the
# boxes in order: each answer is ok (Return) or cancel (Escape); boxes beyond the answers
# get ok. RunLogs, when set, is the folder for the trace and the answers' log instead of
# the package folder. Afterwards Boxes holds each box's text as Wine's trace writes it (CR LF as \r\n),
# one per element, and SetupExit the program's exit code. It fails when Wine traced more boxes
# than were answered, or when a key is left down in the X server.
RunSetup() {
  local folder=$1
  shift
  local answers=("$@")
  local logs=${RunLogs:-$folder}  # where the trace and the answers go
  local trace=$logs/.trace.log
  rm -f "$logs/.answers.log"
  Boxes=()
  SetupExit=
  (cd "$folder" && WINEDEBUG=-all,trace+msgbox exec "$Wine" Setup.exe >/dev/null 2>"$trace") &
  local pid=$!
  local answered=0 deadline=$((SECONDS + 60)) window previous=""
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      Fail "Setup.exe still running after 60 s"
      kill "$pid" 2>/dev/null
      break
    fi
    window=$(xdotool search --onlyvisible --name "^$Caption\$" 2>/dev/null | head -n 1)
    if [ -z "$window" ] || [ "$window" = "$previous" ]; then
      sleep 0.05
      continue
    fi
    local answer=${answers[$answered]:-ok}
    local key=Return
    [ "$answer" = cancel ] && key=Escape
    # The box is mapped before its dialog has set itself up: wait for Wine's trace of it.
    local waited
    for ((waited = 0; waited < 100; waited++)); do
      [ "$(grep -ac MSGBOX_OnInit "$trace")" -gt "$answered" ] && break
      sleep 0.05
    done
    local tries=0
    while xdotool search --onlyvisible --name "^$Caption\$" 2>/dev/null | grep -qx "$window"; do
      if [ $((tries % 40)) -eq 0 ]; then
        echo "$(date +%T.%N) box $((answered + 1)) window $window: $key" >>"$logs/.answers.log"
        xdotool windowfocus --sync "$window" key "$key" 2>/dev/null || true
      fi
      tries=$((tries + 1))
      [ "$tries" -ge 200 ] && break
      sleep 0.05
    done
    previous=$window
    answered=$((answered + 1))
  done
  wait "$pid"
  SetupExit=$?
  # A key the answers left down in the X server would answer later boxes by itself.
  local down
  down=$("$Python" -c 'import ctypes; x = ctypes.cdll.LoadLibrary("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
d, keys = x.XOpenDisplay(None), ctypes.create_string_buffer(32)
print(" ".join(str(k) for k in range(256) if keys.raw[k // 8] >> k % 8 & 1) if d and x.XQueryKeymap(ctypes.c_void_p(d), keys)
      else "unknown: the X server cannot be asked")' 2>&1)
  [ -z "$down" ] || Fail "keys held down in the X server after Setup.exe: $down"
  local line
  while IFS= read -r line; do
    line=${line#*MSGBOX_OnInit L\"}
    Boxes+=("${line%\"}")
  done < <(grep -a 'MSGBOX_OnInit' "$trace" | tr -d '\r')
  if [ "${#Boxes[@]}" -ne "$answered" ]; then
    Fail "Wine traced ${#Boxes[@]} boxes, the X server showed $answered"
  fi
}

Finish() {
  if [ "$Failures" -gt 0 ]; then
    echo "$Failures check(s) failed" >&2
    exit 1
  fi
  echo "passed"
  exit 0
}
