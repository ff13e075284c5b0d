#!/bin/bash
# A scenario of tests/scenarios run by the Windows program under Wine:
#   scenario.sh CONFIG FILE
# The scenario's runner lays out its start below C:\fw\s\<name> and compares what Setup.exe
# showed and changed with what the scenario expects, as it does for every other host.
. "$(dirname "$0")/common.sh"
EnterScenario "$@"

file=${2:?scenario file}
runner=$(dirname "$0")/../scenarios/scenario.py
name=$(basename "$file" .txt)
why=$(sed -n 's/^skip wine: *//p' "$file")
[ -z "$why" ] || Skip "wine cannot show $name: $why"

Root="C:\\fw\\s\\$name"
Folder=$(UnixPath "$Root")
chmod -R u+w "$Folder" 2>/dev/null
rm -rf "$Folder"
mkdir -p "$Folder/logs"
read -r runs cancelAt answers < <(python3 "$runner" layout "$file" "$Folder" "$Root\\ide" "$Root\\pkg") ||
  { echo "cannot lay out $file" >&2; exit 1; }
cp "$SetupExe" "$Folder/pkg/Setup.exe"
ResetRegistry "$Folder/registry.reg"
RunLogs=$Folder/logs
for ((run = 1; run <= runs; run++)); do
  if [ "$run" -eq "$runs" ]; then
    # A later run starts from what the one before left; only the last is compared, with
    # what the files and the user's keys held before it.
    mkdir -p "$Folder/before"
    cp -a "$Folder/ide" "$Folder/pkg" "$Folder/before/"
    ExportUserKeys "$Folder/before.reg"
    { Snapshot "$Folder/ide"; Snapshot "$Folder/pkg"; } >"$Folder/logs/files.before"
    # The Windows checker's preview of this run, which must change nothing.
    cancel=()
    [ "$cancelAt" = 0 ] || cancel=(--cancel-at "$cancelAt")
    (cd "$Folder/pkg" && "$Wine" "$CheckExe" --preview --json "${cancel[@]}" Setup.cfg) \
      >"$Folder/preview.json" 2>"$Folder/logs/preview.err"
    ExportUserKeys "$Folder/previewed.reg"
    cmp -s "$Folder/before.reg" "$Folder/previewed.reg" || Fail "the preview changed the registry"
    { Snapshot "$Folder/ide"; Snapshot "$Folder/pkg"; } | cmp -s - "$Folder/logs/files.before" ||
      Fail "the preview changed files"
  fi
  # shellcheck disable=SC2086  # one word per answer
  RunSetup "$Folder/pkg" $answers
done
[ "${#Boxes[@]}" -eq 0 ] || printf '%s\n' "${Boxes[@]}" >"$Folder/boxes.txt"
touch "$Folder/boxes.txt"
ExportUserKeys "$Folder/after.reg"
[ "$SetupExit" = 0 ] || Fail "Setup.exe exit code $SetupExit"
python3 "$runner" compare "$file" "$Folder" "$Root\\ide" "$Root\\pkg" ||
  Fail "the outcome differs from the scenario's"
Finish
