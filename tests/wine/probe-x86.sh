#!/bin/bash
# probe-x86.sh: can this machine start 32-bit x86 programs under Wine? Prints "runs", or
# one line saying why not, and exits 0 or 1 accordingly. Some kernels are built without
# 32-bit support: Debian's i386 packages then install, but nothing of them starts.
loader=/usr/lib/wine/wine
if [ ! -e "$loader" ]; then
  echo "Wine's 32-bit half is not installed (dpkg --add-architecture i386; package wine32:i386)"
  exit 1
fi
if out=$("$loader" --version 2>&1); then
  echo runs
  exit 0
fi
# The loader itself or the i386 dynamic loader it needs may be what the kernel refuses.
i386ld=/lib/i386-linux-gnu/ld-linux.so.2
if [[ "$out" == *"Exec format error"* ]] ||
   { [ -e "$i386ld" ] && [[ "$("$i386ld" --version 2>&1)" == *"Exec format error"* ]]; }; then
  echo "this machine's kernel refuses 32-bit programs (Exec format error)"
else
  echo "Wine's 32-bit loader does not start: $(head -n 1 <<<"$out")"
fi
exit 1
