#!/usr/bin/env bash
# tools/deb-src-entries on a made-up apt folder: one-line and deb822 files of the release in
# use become deb-src entries with their options; other releases, deb-src lines, disabled
# stanzas and files with other suffixes are left out.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc/sources.list.d"
cat >"$work/etc/sources.list" <<'LIST'
# a comment
deb http://mirror.example/debian bookworm main contrib
deb [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://mirror.example/debian bookworm-updates main
deb-src http://mirror.example/debian bookworm main
deb http://other.example/repo stable main
LIST
cat >"$work/etc/sources.list.d/extra.sources" <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian-security
Suites: bookworm-security trixie-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 abc
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://mirror.example/off
Suites: bookworm
Components: main
Enabled: no
SOURCES
printf 'Types: deb\nURIs: http://third.example\nSuites: bookworm\nComponents: main\n' \
    >"$work/etc/sources.list.d/more.sources"
echo "deb http://disabled.example bookworm main" >"$work/etc/sources.list.d/x.list.disabled"

"$repo/tools/deb-src-entries" "$work/out" "$work/etc" bookworm
want_list='deb-src http://mirror.example/debian bookworm main contrib
deb-src [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://mirror.example/debian bookworm-updates main'
want_sources='Types: deb-src
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 abc
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb-src
URIs: http://third.example
Suites: bookworm
Components: main'
status=0
[ "$(cat "$work/out/sources.list.d/derived.list")" = "$want_list" ] || {
    echo "derived.list:"; cat "$work/out/sources.list.d/derived.list"; status=1; }
[ "$(cat "$work/out/sources.list.d/derived.sources")" = "$want_sources" ] || {
    echo "derived.sources:"; cat "$work/out/sources.list.d/derived.sources"; status=1; }
[ ! -s "$work/out/sources.list" ] || { echo "sources.list not empty"; status=1; }
# --mirror: the first address of the release's own suite, past other suites and options, from
# a deb822 file when no one-line entry has it.
mkdir -p "$work/mirror-etc/sources.list.d"
echo "deb [arch=amd64] http://updates.example/debian bookworm-updates main" >"$work/mirror-etc/sources.list"
printf 'Types: deb\nURIs: http://main.example/debian\nSuites: bookworm-updates bookworm\nComponents: main\n' \
    >"$work/mirror-etc/sources.list.d/debian.sources"
mirror=$("$repo/tools/deb-src-entries" --mirror "$work/mirror-etc" bookworm)
[ "$mirror" = http://main.example/debian ] || { echo "--mirror printed: $mirror"; status=1; }
[ $status -eq 0 ] && echo "deb-src entries: as expected"
exit $status
