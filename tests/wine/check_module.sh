#!/usr/bin/env bash
# Checks a built program as a host and a user's machine see it, from its headers as
# llvm-readobj reads them: a PE32+ file for the given machine that imports only from Windows
# system DLLs; a module (a DLL) exports exactly PluginMain by name, a program nothing. For
# ARM64, whose compilers fuse a multiply and an add unless told not to, also that its code has
# no fused multiply-add instruction (the kernel's results are fixed to the last bit).
#   check_module.sh FILE AMD64|ARM64 [module|program]
set -euo pipefail
file=$1
machine=$2
kind=${3:-module}
readobj=${LLVM_READOBJ:-llvm-readobj-14}
fail() { echo "FAIL: $(basename "$file"): $*" >&2; exit 1; }

headers=$("$readobj" --file-headers --coff-exports --coff-imports "$file")
case $machine in
    AMD64) want='IMAGE_FILE_MACHINE_AMD64 (0x8664)' ;;
    ARM64) want='IMAGE_FILE_MACHINE_ARM64 (0xAA64)' ;;
    *) fail "unknown machine $machine" ;;
esac
grep -qF "Machine: $want" <<<"$headers" || fail "not for $machine: $(grep -m1 'Machine:' <<<"$headers")"
grep -q '^ *Magic: 0x20B$' <<<"$headers" || fail "not PE32+ (optional header magic 0x20B)"
is_dll=no
grep -q 'IMAGE_FILE_DLL (0x2000)' <<<"$headers" && is_dll=yes

# Exports: the name of each "Export {" block, or "#ordinal" for one by ordinal alone. lld's
# table starts at ordinal 0 and leaves that slot empty (no name, address 0): no export.
exports=$(awk '/^Export \{/{on=1; name=""; ordinal=""; rva=""; next}
    on && /Ordinal:/{ordinal=$2} on && /Name:/{name=$2} on && /RVA:/{rva=$2}
    on && /^\}/{on=0; if (name != "") print name; else if (rva != "0x0") print "#" ordinal}' \
    <<<"$headers")
if [ "$kind" = module ]; then
    [ "$is_dll" = yes ] || fail "not a DLL"
    [ "$exports" = "PluginMain" ] || fail "exports are [$exports], want exactly PluginMain"
else
    [ "$is_dll" = no ] || fail "a DLL, not a program"
    [ -z "$exports" ] || fail "a program that exports [$exports]"
fi

imports=$(awk '/^Import \{/{on=1; next} on && /^\}/{on=0} on && /^ *Name:/{print toupper($2)}' \
    <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no import table"
while read -r dll; do
    case "$dll" in
        KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL | PSAPI.DLL | ADVAPI32.DLL | \
            SHELL32.DLL | VERSION.DLL | API-MS-WIN-CRT-*.DLL) ;;
        *) fail "imports $dll, which is not a Windows system DLL" ;;
    esac
done <<<"$imports"
if [ "$machine" = ARM64 ]; then
    fused=$(${LLVM_OBJDUMP:-llvm-objdump-14} -d "$file" |
        grep -cE '[[:space:]](fmadd|fmsub|fnmadd|fnmsub|fmla|fmls)[[:space:]]') || true
    [ "$fused" = 0 ] || fail "$fused fused multiply-add instructions in its code"
fi
echo "$(basename "$file") ok: $machine $kind; exports [$(tr '\n' ' ' <<<"$exports" | sed 's/ $//')]; imports $(tr '\n' ' ' <<<"$imports")"
