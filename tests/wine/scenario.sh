#!/bin/bash
# A scenario of tests/scenarios run by the Windows program under Wine:
#   scenario.sh CONFIG FILE
# The scenario's runner lays out its start on drive C: and compares what Setup.exe showed and
# changed, and what the Windows checker's preview of the run said, with what the scenario
# expects, as it does for every other host.
. "$(dirname "$0")/common.sh"
EnterScenario "$@"

file=${2:?scenario file}
runner=$(dirname "$0")/../scenarios/scenario.py
name=$(basename "$file" .txt)
why=$(sed -n 's/^skip wine: *//p' "$file")
[ -z "$why" ] || Skip "wine cannot show $name: $why"

# HoldFile <Windows path>: another program opens the file with no sharing and keeps it
# open until ReleaseFiles.
HoldPids=()
HoldFile() {
  local arch=${Config%%-*} n=${#HoldPids[@]}
  local holdOpen=${FERROWIND_HOLD_OPEN_DIR:-}/HoldOpen-$arch.exe
  [ -f "$holdOpen" ] || Skip "no $holdOpen: the MinGW compiler for $arch is missing"
  local control=$Work/logs/hold$n.control log=$Work/logs/hold$n.log
  mkfifo "$control"
  "$Wine" "$holdOpen" "$1" <"$control" >"$log" 2>&1 &
  HoldPids+=($!)
  eval "exec $((7 + n))>\"\$control\""
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q '^held' "$log" 2>/dev/null && return
    kill -0 "${HoldPids[$n]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "HoldOpen did not hold $1: $(cat "$log")" >&2
  exit 1
}

ReleaseFiles() {
  local n
  for n in "${!HoldPids[@]}"; do
    echo stop >&$((7 + n))
    eval "exec $((7 + n))>&-"
    wait "${HoldPids[$n]}" || Fail "HoldOpen ended with $?: $(cat "$Work/logs/hold$n.log")"
  done
}

mapfile -t layout < <("$Python" "$runner" layout "$file" "$DriveC")
[ "${#layout[@]}" -ge 6 ] || { echo "cannot lay out $file" >&2; exit 1; }
read -r runs cancelAt answers <<<"${layout[0]}"
Work=${layout[3]} Ide=${layout[4]} Pkg=${layout[5]}
IFS=$'\t' read -r -a held <<<"${layout[6]:-}"
cp "$SetupExe" "$Pkg/Setup.exe"
ResetRegistry "$Work/registry.reg"
# Values of the 64-bit view only, which a 32-bit prefix does not have. Only such scenarios
# write there.
if [ -f "$Work/view64/registry.reg" ]; then
  [ "$WINEARCH" = win64 ] || Skip "$Config: a 32-bit prefix has no 64-bit registry view"
  "$Wine" reg delete 'HKLM\Software\Borland' /f /reg:64 >/dev/null 2>&1
  "$Wine" reg import "$Work/view64/registry.reg" /reg:64 >/dev/null 2>&1 || Fail "reg import /reg:64 failed"
  # The keys are where the scenario means them to be, seen from each view.
  key=$(sed -n 's/^\[HKEY_LOCAL_MACHINE\\\(.*\)\]\r$/HKLM\\\1/p' "$Work/view64/registry.reg" | head -n 1)
  "$Wine" reg query "$key" /reg:64 >/dev/null 2>&1 || Fail "$key is not in the 64-bit view"
  "$Wine" reg query "$key" /reg:32 >/dev/null 2>&1 && Fail "$key is in the 32-bit view too"
fi
RunLogs=$Work/logs
for ((run = 1; run <= runs; run++)); do
  if [ "$run" -eq "$runs" ]; then
    # A later run starts from what the one before left; only the last is compared, with
    # what the files and the user's keys held before it.
    mkdir -p "$Work/before"
    cp -a "$Ide" "$Work/before/ide"
    cp -a "$Pkg" "$Work/before/pkg"
    ExportUserKeys "$Work/before.reg"
    { Snapshot "$Ide"; Snapshot "$Pkg"; } >"$Work/logs/files.before"
    # The Windows checker's preview of this run, which must change nothing.
    cancel=()
    [ "$cancelAt" = 0 ] || cancel=(--cancel-at "$cancelAt")
    (cd "$Pkg" && "$Wine" "$CheckExe" --preview --json "${cancel[@]}" Setup.cfg) \
      >"$Work/preview.json" 2>"$Work/logs/preview.err"
    grep -q '^skip preview:' "$file" && rm "$Work/preview.json"
    ExportUserKeys "$Work/previewed.reg"
    cmp -s "$Work/before.reg" "$Work/previewed.reg" || Fail "the preview changed the registry"
    { Snapshot "$Ide"; Snapshot "$Pkg"; } | cmp -s - "$Work/logs/files.before" ||
      Fail "the preview changed files"
    for path in "${held[@]}"; do HoldFile "$path"; done
  fi
  # shellcheck disable=SC2086  # one word per answer
  RunSetup "$Pkg" $answers
done
ReleaseFiles
[ "${#Boxes[@]}" -eq 0 ] || printf '%s\n' "${Boxes[@]}" >"$Work/boxes.txt"
touch "$Work/boxes.txt"
ExportUserKeys "$Work/after.reg"
[ "$SetupExit" = 0 ] || Fail "Setup.exe exit code $SetupExit"
"$Python" "$runner" compare "$file" "$DriveC" || Fail "the outcome differs from the scenario's"
Finish
