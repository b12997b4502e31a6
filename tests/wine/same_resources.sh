#!/usr/bin/env bash
# The ARM64 module's resources against the x86-64 module's: the property list is the same
# byte for byte except for the entry point's key ('wa64' where x86-64 has '8664'), and the
# version block and the about dialog are the same bytes.
#   same_resources.sh X86_64_MODULE ARM64_MODULE
set -euo pipefail
x64=$1
arm64=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

extract() { # module, type, name, output
    wrestool -x --raw -t "$2" -n "$3" "$1" >"$4" || fail "no resource $2/$3 in $1"
    [ -s "$4" ] || fail "resource $2/$3 of $1 is empty"
}
extract "$x64" PIPL 16000 "$work/x64.pipl"
extract "$arm64" PIPL 16000 "$work/arm64.pipl"
# Four-character codes are stored little-endian: '8664' reads "4668", 'wa64' reads "46aw".
grep -c '4668' "$work/x64.pipl" | grep -qx 1 || fail "the x86-64 list has no single '8664' key"
grep -q '46aw' "$work/x64.pipl" && fail "the x86-64 list has a 'wa64' key"
sed 's/4668/46aw/' "$work/x64.pipl" >"$work/x64-as-arm64.pipl"
cmp "$work/x64-as-arm64.pipl" "$work/arm64.pipl" ||
    fail "the property lists differ beyond the entry point's key"

for resource in "16 1 version block" "5 16000 about dialog"; do
    read -r type name what <<<"$resource"
    extract "$x64" "$type" "$name" "$work/x64.$type"
    extract "$arm64" "$type" "$name" "$work/arm64.$type"
    cmp -s "$work/x64.$type" "$work/arm64.$type" || fail "the $what differs"
done
echo "same resources: property list ($(stat -c %s "$work/arm64.pipl") bytes, key 'wa64' for '8664'), version block, about dialog"
