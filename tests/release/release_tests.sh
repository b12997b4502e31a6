#!/usr/bin/env bash
# Runs tools/release on this tree and checks what it wrote, for each of the two zips (x86-64
# and ARM64): the entries, modes, times, sizes and line ends; SHA256SUMS; that the programs
# inside are the very ones the Wine tests of this run used; the guides (byte order mark, UTF-8,
# the plug-in's exact refusal texts taken from host/refusal_messages.h, bfrun's own --help),
# the same in both zips; then builds the release twice more from two clean clones in other
# folders and compares the bytes. Run by CTest as the test `release` of the win64 build
# (ctest --preset release), after the Wine tests, with the Wine prefix made; fails if any
# check failed.
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib.sh"
cd "$repo"

passed=0 failed=0
result() { # name, 0 for passed
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "release.$1 ... Passed"
    else
        failed=$((failed + 1))
        echo "release.$1 ... ***Failed"
    fi
}
# A check reports each fault through fail and goes on; it fails if it reported any.
faults=0
fail() {
    echo "  FAIL: $*"
    faults=$((faults + 1))
    return 1
}
check() { # name, then the function that checks
    local name=$1
    shift
    faults=0
    "$@" || true
    result "$name" "$faults"
}
summary() {
    local total=$((passed + failed))
    echo
    echo "release checks: $passed of $total passed"
}

version=$(release_version)
dist=$repo/dist
text_entries=(BUILDINFO CHANGELOG.md LICENSE README-ja.txt README.txt)
binary_entries=(Brightfade.8bf bfrun.exe)
# Per zip: its name, its folder, the build the Wine tests of this run used, the runtime's notice.
zips=("Brightfade-$version-win64.zip" "Brightfade-$version-win-arm64.zip")
tops=("Brightfade-$version" "Brightfade-$version-arm64")
tested_builds=("$build_root/win64" "$build_root/arm64")
release_builds=("$build_root/release/win64" "$build_root/release/arm64")
runtime_notices=(third-party/mingw-w64-runtime.txt third-party/runtime.txt)
# The licences of the libraries bfrun.exe links, in both zips.
library_notices=(third-party/libspng/LICENSE third-party/zlib/copyright
    third-party/libjpeg-turbo/LICENSE.md third-party/libjpeg-turbo/README.ijg
    third-party/libtiff/LICENSE.md third-party/libdeflate/COPYING)

if ! "$repo/tools/release"; then
    result tools_release 1
    echo "  tools/release failed; with uncommitted changes, commit them or run tools/test with"
    echo "  BRIGHTFADE_SKIP_RELEASE=1 to leave the release out."
    summary
    exit 1
fi
result tools_release 0

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
for zip_name in "${zips[@]}"; do
    (cd "$unpacked" && unzip -q "$dist/$zip_name")
done

# --- The zip's entries -----------------------------------------------------------------------
zip_entries() { # index into zips
    local zip_name=${zips[$1]} top=${tops[$1]} release=${release_builds[$1]}
    local package=$unpacked/$top entries listing name expected
    entries=$(unzip -Z1 "$dist/$zip_name")
    [ "$entries" = "$(LC_ALL=C sort <<<"$entries")" ] || fail "entries not in sorted order"
    for name in "${text_entries[@]}" "${binary_entries[@]}" "${runtime_notices[$1]}" \
        "${library_notices[@]}"; do
        grep -qxF "$top/$name" <<<"$entries" || fail "no $top/$name"
    done
    # Whatever the build put in third-party/ is shipped; nothing else beyond the list above.
    if [ -d "$release/third-party" ]; then
        while read -r name; do
            grep -qxF "$top/third-party/$name" <<<"$entries" || fail "no notice third-party/$name"
        done < <(cd "$release/third-party" && find . -type f -printf '%P\n')
    fi
    while read -r name; do
        case "$name" in
            "$top"/third-party/?*) ;;
            *)
                expected=no
                for e in "${text_entries[@]}" "${binary_entries[@]}"; do
                    [ "$name" = "$top/$e" ] && expected=yes
                done
                [ $expected = yes ] || fail "unexpected entry $name"
                ;;
        esac
    done <<<"$entries"
    # Modes 644, the commit's time, no folder entries: "-rw-r--r-- ... 20261208.175522 name".
    # A DOS time counts seconds in twos, so an odd second may be stored one either way.
    local epoch stamps mode time
    epoch=$(git log -1 --format=%ct HEAD)
    stamps=$(for t in $((epoch - 1)) "$epoch" $((epoch + 1)); do TZ=UTC date -d "@$t" +%Y%m%d.%H%M%S; done)
    listing=$(TZ=UTC unzip -Z -T "$dist/$zip_name" | grep "$top/")
    while read -r mode _ _ _ _ _ time name; do
        [ "$mode" = "-rw-r--r--" ] || fail "$name has mode $mode"
        grep -qxF "$time" <<<"$stamps" || fail "$name is dated $time, not at the commit's time"
    done <<<"$listing"
    [ "$(wc -l <<<"$listing")" = "$(wc -l <<<"$entries")" ] || fail "entries other than files"
    for name in "${text_entries[@]}"; do
        [ -s "$package/$name" ] || fail "$name is empty"
    done
}
check zip_entries zip_entries 0
check zip_entries_arm64 zip_entries 1

# Every text file: lines end in CR LF, the last one too; no bare CR or LF; valid UTF-8.
line_ends() {
    local package file name
    while read -r file; do
        name=${file#"$unpacked"/}
        case "$name" in *.8bf | *.exe) continue ;; esac
        [ "$(tail -c 2 "$file" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "$name does not end in CR LF"
        [ "$(tr -cd '\n' <"$file" | wc -c)" = "$(grep -c $'\r$' "$file")" ] ||
            fail "$name has lines that do not end in CR LF"
        ! LC_ALL=C grep -q $'\r.' "$file" || fail "$name has a CR inside a line"
        iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1 || fail "$name is not valid UTF-8"
    done < <(for package in "${tops[@]}"; do find "$unpacked/$package" -type f; done | sort)
}
check line_ends line_ends

# --- Checksums and the programs the tests ran -------------------------------------------------
sha256sums() {
    local i listed=()
    for i in 0 1; do
        listed+=("${zips[$i]}" "${tops[$i]}/Brightfade.8bf" "${tops[$i]}/bfrun.exe")
    done
    [ "$(cut -d' ' -f3 "$dist/SHA256SUMS")" = "$(printf '%s\n' "${listed[@]}")" ] ||
        fail "SHA256SUMS does not list the two zips and their programs"
    (cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS in dist/"
    # Against what the zip itself holds, as a user checks it after unpacking.
    cp "$dist/${zips[0]}" "$dist/${zips[1]}" "$dist/SHA256SUMS" "$unpacked/"
    (cd "$unpacked" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS on the zip's contents"
}
check sha256sums sha256sums

same_programs_as_tested() {
    local i name
    for i in 0 1; do
        for name in "${binary_entries[@]}"; do
            cmp "$unpacked/${tops[$i]}/$name" "${tested_builds[$i]}/$name" ||
                fail "${tops[$i]}/$name in the zip is not the one the tests ran"
        done
    done
}
check programs_are_the_tested_ones same_programs_as_tested

# --- The guides -------------------------------------------------------------------------------
# Each message the plug-in shows (every char16_t constant in host/refusal_messages.h, taken
# from the header itself) appears in the guide exactly, so that a user can search for it.
contains_refusal_texts() { # guide
    perl -e '
        sub slurp { local $/; open my $f, "<", $_[0] or die "$_[0]: $!"; return <$f>; }
        my $header = slurp($ARGV[0]);
        my $guide = slurp($ARGV[1]);
        $guide =~ s/^\xEF\xBB\xBF//;
        $guide =~ s/\r\n/\n/g;
        my ($count, $missing) = (0, 0);
        while ($header =~ /char16_t\s+(\w+)\[\]\s*=\s*((?:u"(?:[^"\\]|\\.)*"\s*)+);/g) {
            my ($name, $literals, $text) = ($1, $2, "");
            $text .= $1 while $literals =~ /u"((?:[^"\\]|\\.)*)"/g;
            $text =~ s/\\(.)/$1 eq "n" ? "\n" : $1/ge;
            ++$count;
            next if index($guide, $text) >= 0;
            print "  FAIL: $ARGV[1] lacks $name\n";
            ++$missing;
        }
        print "  FAIL: no messages found in $ARGV[0]\n" if $count == 0;
        exit($count == 0 || $missing > 0);
    ' "$repo/host/refusal_messages.h" "$1"
}

japanese_guide() {
    local package=$unpacked/${tops[0]} guide
    for guide in README-ja.txt README.txt; do
        cmp -s "$package/$guide" "$unpacked/${tops[1]}/$guide" ||
            fail "$guide differs between the two zips"
        [ "$(head -c 3 "$package/$guide" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
            fail "$guide does not begin with a UTF-8 byte order mark"
        contains_refusal_texts "$package/$guide" || fail "$guide lacks a refusal text"
        ! grep -q '@VERSION@' "$package/$guide" || fail "$guide has an unfilled @VERSION@"
    done
}
check guides_quote_the_refusals japanese_guide

# The bfrun usage in both guides is what the shipped bfrun.exe prints.
guides_show_bfrun_help() {
    local package=$unpacked/${tops[0]} help guide
    ensure_wine_prefix
    start_wine_session
    help=$("$repo/tools/wine-run" "$package/bfrun.exe" --help | tr -d '\r') || fail "bfrun --help failed"
    end_wine_session
    [ -n "$help" ] || fail "bfrun --help printed nothing"
    for guide in README.txt README-ja.txt; do
        HELP=$help perl -e '
            local $/; open my $f, "<", $ARGV[0] or die; my $g = <$f>; $g =~ s/\r\n/\n/g;
            exit(index($g, "\n$ENV{HELP}\n") >= 0 ? 0 : 1);
        ' "$package/$guide" || fail "$guide does not show bfrun --help as it is"
    done
}
check guides_show_bfrun_help guides_show_bfrun_help

# --- The version and the build's record -------------------------------------------------------
version_everywhere() {
    local zip_name package
    for zip_name in "${zips[@]}"; do
        grep -qF "$zip_name" README.md || fail "README.md does not name $zip_name"
    done
    grep -q "^## \[$version\] - [0-9]\{4\}-[0-9][0-9]-[0-9][0-9]$" CHANGELOG.md ||
        fail "CHANGELOG.md has no dated entry for $version"
    for package in "${tops[@]}"; do
        package=$unpacked/$package
        grep -qF "commit             $(git rev-parse HEAD)" "$package/BUILDINFO" || fail "BUILDINFO: commit"
        grep -qF "SOURCE_DATE_EPOCH  $(git log -1 --format=%ct HEAD) " "$package/BUILDINFO" ||
            fail "BUILDINFO: the commit's time"
        grep -qE '^  binutils-mingw-w64-x86-64 +[0-9]' "$package/BUILDINFO" || fail "BUILDINFO: binutils"
    done
    grep -qE '^  g\+\+-mingw-w64-x86-64-posix +[0-9]' "$unpacked/${tops[0]}/BUILDINFO" ||
        fail "BUILDINFO: the x86-64 compiler"
    grep -qE '^  clang-14 +[0-9]' "$unpacked/${tops[1]}/BUILDINFO" || fail "BUILDINFO: the ARM64 compiler"
    local source i
    for source in mingw-w64 llvm-toolchain-14 zlib libspng libjpeg-turbo tiff; do
        for i in 0 1; do
            case $i:$source in 0:mingw-w64 | 0:llvm-* | 0:zlib) continue ;; esac
            tr -d '\r' <"$unpacked/${tops[$i]}/BUILDINFO" |
                grep -qE "^Debian source compiled: ${source}_.*\.dsc, sha256 [0-9a-f]{64}$" ||
                fail "BUILDINFO of ${tops[$i]}: the $source source"
        done
    done
}
check version_and_buildinfo version_everywhere

# --- Two more builds from clean clones ---------------------------------------------------------
# In folders of different names and depths, one after the other, the second with another umask
# and time zone: the zip, the programs and SHA256SUMS must be the same bytes as here.
commit=$(git rev-parse HEAD)
clones=$build_root/reproduce
rm -rf "$clones"
clone_at() {
    git clone -q "$repo" "$1" && git -C "$1" checkout -q --detach "$commit"
}
run_release_in() { # each clone builds in its own build/, with this tree's ARM64 toolchain
    (cd "$1" && env -u BRIGHTFADE_BUILD BRIGHTFADE_ARM64_TOOLCHAIN="$arm64_toolchain" \
        tools/release >"$1.log" 2>&1)
}

refuses_dirty_tree() {
    local tree=$clones/first/brightfade
    clone_at "$tree" || fail "git clone"
    echo "local change" >"$tree/untracked.txt"
    ! run_release_in "$tree" || fail "tools/release packed a tree with an untracked file"
    grep -q 'uncommitted changes' "$tree.log" || fail "no reason given for the refusal"
    [ ! -e "$tree/build/release" ] || fail "tools/release built before refusing"
    rm "$tree/untracked.txt"
}
check refuses_dirty_tree refuses_dirty_tree

reproducible() {
    local first=$clones/first/brightfade
    local second=$clones/second-copy/somewhere/deeper/src
    [ -d "$first" ] || clone_at "$first" || fail "git clone"
    rm -f "$first/untracked.txt"
    run_release_in "$first" || { cat "$first.log"; fail "tools/release in $first"; }
    clone_at "$second" || fail "git clone"
    (umask 077 && TZ=Asia/Tokyo run_release_in "$second") ||
        { cat "$second.log"; fail "tools/release in $second"; }
    local tree name i
    for tree in "$first" "$second"; do
        cmp "$dist/SHA256SUMS" "$tree/dist/SHA256SUMS" || fail "SHA256SUMS differs in $tree"
        for i in 0 1; do
            for name in "${zips[$i]}" "${tops[$i]}/Brightfade.8bf" "${tops[$i]}/bfrun.exe"; do
                cmp "$dist/$name" "$tree/dist/$name" || fail "$name differs in $tree"
            done
        done
    done
    echo "  the same bytes from $repo, $first and $second:"
    for tree in "$repo" "$first" "$second"; do
        sed 's/^/    /' "$tree/dist/SHA256SUMS"
    done
}
check reproducible reproducible
rm -rf "$clones"

summary
[ "$failed" -eq 0 ]
