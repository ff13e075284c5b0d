#!/bin/bash
# Scenarios drawn at random, run by the POSIX program and by Setup.exe under Wine from the
# same start; their outcomes (box texts, registry values, files) must agree:
#   compare-hosts.sh CONFIG [COUNT [SEED]]
# The test command runs a fixed seed and count; FERROWIND_COMPARE_COUNT and
# FERROWIND_COMPARE_SEED ask for a longer run or another draw.
. "$(dirname "$0")/common.sh"
EnterScenario "$@"
count=${2:-${FERROWIND_COMPARE_COUNT:-12}} seed=${3:-${FERROWIND_COMPARE_SEED:-2026}}
runner=$(dirname "$0")/../scenarios/scenario.py
[ -x "${FERROWIND_POSIX_SETUP:-}" ] || Skip "no POSIX program (FERROWIND_POSIX_SETUP)"
drawn=$ConfigWork/drawn
rm -rf "$drawn"
"$Python" "$runner" generate "$seed" "$count" "$drawn/scenarios" || exit 1
for file in "$drawn"/scenarios/*.txt; do
  name=$(basename "$file" .txt)
  FERROWIND_OUTCOME=$drawn/$name.posix.json "$Python" "$runner" run posix "$file" --work "$drawn/work" \
    --program "$FERROWIND_POSIX_SETUP" >/dev/null || Fail "$name: the POSIX run failed"
  FERROWIND_OUTCOME=$drawn/$name.wine.json bash "$(dirname "$0")/scenario.sh" "$Config" "$file" \
    >"$drawn/$name.wine.log" 2>&1 || Fail "$name: the Wine run failed: $(tail -n 3 "$drawn/$name.wine.log")"
  if ! diff -u "$drawn/$name.posix.json" "$drawn/$name.wine.json" >"$drawn/$name.diff"; then
    Fail "$name: the hosts disagree (POSIX -, Wine +):"
    sed 's/^/  /' "$drawn/$name.diff"
    sed -n '/Setup.cfg/,$p' "$file"
  fi
done
echo "$count scenarios of seed $seed compared"
Finish
