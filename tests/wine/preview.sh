#!/bin/bash
# The preview under Wine: ferrowind-check.exe --preview on the bundled example, then the
# real Setup.exe, in a prefix that prefix.sh prepared. The preview must leave the user's
# registry keys and the IDE folder exactly as they were, and list exactly what Setup.exe
# then changes: the same boxes, registry lines, help lines and files. Cases, one after the
# other on the same layout: the example, a second run, a read-only help file, a COPYDIR
# folder the IDE lacks, a missing IDE folder.
# preview.sh <config>; each preview's text and JSON stay in the configuration's scratch
# folder, under preview/.
. "$(dirname "$0")/common.sh"
UseConfig "${1:?configuration}"
FindTools
FindSetup
[ -f "$CheckExe" ] || Skip "no $CheckExe: wine.$Config.prefix did not run or found no build"
command -v python3 >/dev/null || Skip "python3 is not installed"
[ -d "$DriveC/windows" ] || { echo "no Wine prefix at $WINEPREFIX: run prefix.sh first" >&2; exit 1; }
OnXServer "$@"

Source=$(cd "$(dirname "$0")/../.." && pwd)
Work=$ConfigWork/preview
Root='C:\fw\preview\ide'
Ide=$(UnixPath "$Root")
Pkg=$(UnixPath 'C:\fw\preview\pkg')

# A fresh layout: the example package with both programs beside it, the example IDE as
# Delphi 3 (its old unit read-only), and the registry as the IDE's setup leaves it.
Layout() {
  chmod -R u+w "$(dirname "$Ide")" 2>/dev/null
  rm -rf "$(dirname "$Ide")"
  mkdir -p "$(dirname "$Ide")"
  cp -r "$Source/examples/package" "$Pkg"
  cp -r "$Source/examples/ide" "$Ide"
  chmod a-w "$Ide/Lib/WidgetPackOld.dcu"
  cp "$SetupExe" "$Pkg/Setup.exe"
  cp "$CheckExe" "$Pkg/ferrowind-check.exe"
  ResetRegistry "$Work/registry.reg"
}

rm -rf "$Work"
mkdir -p "$Work"
sed "s|@ROOT@|${Root//\\/\\\\\\\\}|g; s/\$/\r/" "$Source/examples/registry.reg.in" >"$Work/registry.reg"

# Compares what the preview said (its JSON) with what the run did: the traced boxes, the
# user's keys before and after, the IDE folder before (a copy) and after. Prints each
# difference; nothing when they agree.
Compare() {
  python3 - "$@" <<'EOF'
import json, os, sys
preview, boxes, keys_before, keys_after, ide_before, ide_after, root = sys.argv[1:]
d = json.load(open(preview, encoding='utf-8'))
def lines(path):
    try:
        return set(open(path, encoding='latin-1').read().replace('\r\n', '\n').replace('\r', '\n').split('\n'))
    except OSError:
        return set()
def tree(top):
    found = {}
    for folder, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, top).upper()] = None if os.path.isdir(path) else open(path, 'rb').read()
    return found
rel = lambda p: p[len(root) + 1:].replace('\\', '/').upper() if p.upper().startswith(root.upper() + '\\') else p
esc = lambda s: s.replace('\\', '\\\\').replace('"', '\\"')
said, done = [], []
said += ['box ' + b['text'].replace('\r\n', '\\r\\n') for b in d['boxes']]
done += ['box ' + line.rstrip('\n') for line in open(boxes, encoding='latin-1')]
said += ['reg "%s"="%s"' % (esc(r['name']), esc(r['new'])) for r in d['registry']]
done += ['reg ' + line for line in lines(keys_after) - lines(keys_before)]
for h in d['help']:
    said += ['help %s +%s' % (rel(h['path']), l) for l in set(h['added'])]
    said += ['help %s -%s' % (rel(h['path']), l) for l in set(h['removed'])]
said += ['%s %s' % (f['change'], rel(f['path'])) for f in d['files'] if f['change'] != 'same']
old, new = tree(ide_before), tree(ide_after)
for path, data in new.items():
    if path not in old:
        done.append(('folder ' if data is None else 'created ') + path)
    elif data != old[path]:
        done.append('replaced ' + path)
        if path.startswith('HELP/'):
            a, b = [set(x.decode('latin-1').replace('\r\n', '\n').splitlines()) for x in (old[path], data)]
            done += ['help %s +%s' % (path, l) for l in b - a] + ['help %s -%s' % (path, l) for l in a - b]
done += ['removed ' + path for path in old if path not in new]
for line in sorted(set(said) ^ set(done)):
    print(('preview only: ' if line in said else 'run only: ') + line)
EOF
}

# One case: the preview twice (text and JSON), the proof that it changed nothing, the real
# run answered with OK, and the comparison.
PreviewCase() {
  local name=$1 before after
  echo "== $name"
  ExportUserKeys "$Work/$name.keys.before"
  before=$( ([ -d "$Ide" ] && Snapshot "$Ide"); Snapshot "$Pkg")
  rm -rf "$Work/$name.ide"
  [ -d "$Ide" ] && cp -a "$Ide" "$Work/$name.ide"
  (cd "$Pkg" && "$Wine" ferrowind-check.exe --preview --json Setup.cfg >"$Work/$name.json" 2>/dev/null)
  PreviewExit=$?
  (cd "$Pkg" && "$Wine" ferrowind-check.exe --preview Setup.cfg >"$Work/$name.txt" 2>/dev/null)
  ExportUserKeys "$Work/$name.keys.preview"
  after=$( ([ -d "$Ide" ] && Snapshot "$Ide"); Snapshot "$Pkg")
  [ "$before" = "$after" ] || Fail "$name: the preview changed files: $(diff <(echo "$before") <(echo "$after"))"
  cmp -s "$Work/$name.keys.before" "$Work/$name.keys.preview" || Fail "$name: the preview changed the registry"
  RunSetup "$Pkg"
  printf '%s\n' "${Boxes[@]}" >"$Work/$name.boxes"
  ExportUserKeys "$Work/$name.keys.after"
  mkdir -p "$Work/$name.ide"
  local differences
  differences=$(Compare "$Work/$name.json" "$Work/$name.boxes" "$Work/$name.keys.before" "$Work/$name.keys.after" \
    "$Work/$name.ide" "$Ide" "$Root")
  [ -z "$differences" ] || Fail "$name: the preview and the run differ:"$'\n'"$differences"
  grep -q "${2:-}" "$Work/$name.txt" || Fail "$name: the preview does not say \"$2\""
}

Layout
PreviewCase full 'Help installed'
[ "$PreviewExit" = 0 ] || Fail "full: the preview's exit code is $PreviewExit"
PreviewCase second_run '0 registry values, 0 help files changed; 0 folders made, 0 files created'
grep -q '4 already the same' "$Work/second_run.txt" || Fail "second_run: the copies are not shown as the same"
Layout
chmod a-w "$Ide/Help/Delphi3.cfg"
PreviewCase read_only_help 'NO Help installed'
Layout
rm -rf "$Ide/Source"
PreviewCase missing_copy_folder 'NO files copied'
Layout
mv "$Ide" "$Ide.moved"
PreviewCase missing_ide 'NO Help installed'
Finish
