#!/usr/bin/env bash
# Checks the built module as a host and a user's machine see it: a PE32+ x86-64 DLL that
# exports exactly PluginMain by name and imports only from Windows system DLLs.
set -euo pipefail
module=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$module")
grep -q '^Magic[[:space:]]*020b' <<<"$headers" || fail "not PE32+ (optional header magic 0x20b)"
"$objdump" -f "$module" | grep -q 'file format pei-x86-64' || fail "not x86-64"
grep -A12 '^Characteristics' <<<"$headers" | grep -q '^[[:space:]]*DLL$' || fail "not a DLL"

# Export names: the lines after "[Ordinal/Name Pointer] Table".
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[[:space:]]*\[/{print $NF; next} on{on=0}' \
    <<<"$headers")
[ "$exports" = "PluginMain" ] || fail "exports are [$exports], want exactly PluginMain"

imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no import table"
while read -r dll; do
    case "$dll" in
        KERNEL32.DLL | USER32.DLL | MSVCRT.DLL | API-MS-WIN-CRT-*.DLL) ;;
        *) fail "imports $dll, which is not a Windows system DLL" ;;
    esac
done <<<"$imports"
echo "module ok: exports PluginMain; imports $(tr '\n' ' ' <<<"$imports")"
