#!/usr/bin/env bash
# kernel_objects.sh OBJECT...: the decoder's x86 kernel objects keep to their levels. SSE2 objects
# hold no instruction of a later level (SSSE3, VEX); SSSE3 objects no VEX instruction, and they
# define no weak function, which the linker could pick to serve an earlier level.
set -euo pipefail
later='^\s*[0-9a-f]+:.*\s(pshufb|pmaddubsw|pmulhrsw|palignr|pabs[bwd]|phadd[wd]?s?w?|phsub[wd]?s?w?|psign[bwd]|v[a-z0-9]+)\s'
vex='^\s*[0-9a-f]+:.*\sv[a-z0-9]+\s'
checked=0 failed=0
fail() { echo "$1"; failed=$((failed + 1)); }
for object in "$@"; do
  case $(basename "$object") in
    sse2_*)
      ! objdump -d "$object" | grep -E "$later" >/dev/null || fail "$object: instructions of a later level"
      ;;
    ssse3_*)
      ! objdump -d "$object" | grep -E "$vex" >/dev/null || fail "$object: VEX instructions"
      weak=$(nm "$object" | awk '$2 == "W" { printf " %s", $3 }')
      [ -z "$weak" ] || fail "$object: weak symbols$weak"
      ;;
    *) continue ;;
  esac
  checked=$((checked + 1))
done
((checked > 0)) || { echo "no kernel objects given"; exit 1; }
echo "$checked kernel objects checked, $failed faults"
((failed == 0))
