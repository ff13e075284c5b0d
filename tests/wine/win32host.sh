#!/bin/bash
# The host contract over the Win32 host in one Wine configuration:
#   win32host.sh CONFIG EXE      (CONFIG: x86-win64, x86-win32 or x64-win64)
# UseConfig CONFIG, from common.sh, exports WINEPREFIX, WINEARCH, DISPLAY and sets Wine (the
# loader) for the prefix that the wine_CONFIG fixture prepared below FERROWIND_WINE_WORK.
# The contract tests that fail are named at the end, so CTest's output shows them.
. "$(dirname "$0")/common.sh"
config=${1:?usage: win32host.sh CONFIG EXE}
exe=${2:?usage: win32host.sh CONFIG EXE}
[ -f "$exe" ] || Skip "no $exe: build the windows-${config%%-*}-tests preset first"
declare -F UseConfig >/dev/null || Skip "common.sh has no UseConfig for the Wine configurations"
UseConfig "$config"
RequireX86
[ -n "${Wine:-}" ] && [ -x "$Wine" ] || Skip "no Wine loader for $config"
export WINEDEBUG=${WINEDEBUG:--all}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$Wine" "$exe" --gtest_color=no >"$log" 2>&1
status=$?
cat "$log"
mapfile -t failed < <(tr -d '\r' <"$log" | sed -n 's/^\[  FAILED  \] \([^ ,]*\/[^ ,]*\).*/\1/p' | sort -u)
if [ "$status" -ne 0 ] || [ "${#failed[@]}" -gt 0 ] || ! grep -q '^\[  PASSED  \]' "$log"; then
  echo "win32host.$config: the Win32 host breaks its contract (exit $status)" >&2
  for name in "${failed[@]}"; do echo "  failed: $name" >&2; done
  exit 1
fi
echo "win32host.$config: passed"
