# Debian source packages, for what Debian packages for Linux but not for MinGW: libspng for
# bfrun (tools/lib.sh), the ARM64 toolchain's sources (tools/arm64-toolchain.sh). Sourced by
# tools/lib.sh. Fetched through a private apt set-up in the destination folder: deb-src
# entries derived from
# the machine's own Debian sources (tools/deb-src-entries), package lists and cache of its own.
# The system's apt configuration stays as it is, and apt checks signatures and hashes as usual.

# Makes the private set-up in WORK, its lists updated once, and sets private_apt_options to the
# apt options that use it.
private_apt_setup() {
    local work=$1
    private_apt_options=(
        -o Dir::Etc::SourceList="$work/etc/sources.list"
        -o Dir::Etc::SourceParts="$work/etc/sources.list.d"
        -o Dir::State::Lists="$work/lists"
        -o Dir::Cache="$work/cache"
        -o Acquire::Retries=3
    )
    [ -f "$work/.updated" ] && return 0
    rm -rf "$work"
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
    "$repo/tools/deb-src-entries" "$work/etc"
    # A source that offers no source packages fails the update but not the fetch.
    apt-get "${private_apt_options[@]}" update >"$work/update.log" 2>&1 ||
        echo "apt-get update reported problems (see $work/update.log)" >&2
    touch "$work/.updated"
}

# The Debian versions on standard input, one a line, newest first.
sort_debian_versions_newest_first() {
    local sorted=() version i
    while read -r version; do
        [ -n "$version" ] || continue
        for ((i = 0; i < ${#sorted[@]}; i++)); do
            [ "${sorted[i]}" = "$version" ] && continue 2
            dpkg --compare-versions "$version" gt "${sorted[i]}" && break
        done
        sorted=("${sorted[@]:0:i}" "$version" "${sorted[@]:i}")
    done
    [ ${#sorted[@]} -eq 0 ] || printf '%s\n' "${sorted[@]}"
}

# The folder a source package unpacks to, from its .dsc: SOURCE-UPSTREAM_VERSION.
debian_source_folder_name() {
    local dsc=$1 name version
    [ -f "$dsc" ] || { echo "no such .dsc: $dsc" >&2; return 1; }
    name=$(sed -n 's/^Source: *//p' "$dsc")
    version=$(sed -n 's/^Version: *//p' "$dsc")
    version=${version#*:}
    version=${version%-*}
    echo "$name-$version"
}

# fetch_debian_source PACKAGE DEST_PARENT: fetches and unpacks Debian's source package
# PACKAGE into DEST_PARENT (once; later calls only look). Sets debian_source_dir to the
# unpacked tree and debian_source_dsc to its .dsc, which lists the hashes apt checked.
fetch_debian_source() {
    _fetch_debian_source "$1" "$2" unpack
}

# fetch_debian_source_archives PACKAGE DEST_PARENT: the same without unpacking, for a source
# whose tarball is too big to unpack whole (tar takes from it what is needed). Sets
# debian_source_dsc; the archives are next to it.
fetch_debian_source_archives() {
    _fetch_debian_source "$1" "$2" download-only
}

_fetch_debian_source() {
    local package=$1 parent=$2 mode=$3
    local stamp="$parent/.$package.$mode"
    if [ ! -f "$stamp" ] || [ ! -f "$parent/$(cat "$stamp")" ]; then
        local work="$parent/apt" log="$parent/$package.fetch.log"
        local incoming="$parent/.$package.incoming"
        local options=() versions=() version fetched=""
        [ "$mode" = unpack ] || options=(--download-only)
        mkdir -p "$parent"
        private_apt_setup "$work"
        : >"$log"
        # Newest first, as apt would choose; should a mirror not serve that version (an update
        # whose files it lacks), the next older one it lists.
        mapfile -t versions < <(apt-cache "${private_apt_options[@]}" showsrc "$package" 2>>"$log" |
            sed -n 's/^Version: *//p' | sort_debian_versions_newest_first)
        for version in "${versions[@]}"; do
            rm -rf "$incoming"
            mkdir -p "$incoming"
            if (cd "$incoming" &&
                apt-get "${private_apt_options[@]}" source "${options[@]}" "$package=$version") \
                >>"$log" 2>&1; then
                fetched=$version
                break
            fi
            echo "note: $package $version could not be fetched (see $log)" >&2
        done
        if [ -z "$fetched" ]; then
            tail -n 20 "$log" >&2
            echo "could not fetch the source package $package (see $log and $work/update.log)" >&2
            return 1
        fi
        local dscs=("$incoming/$package"_*.dsc)
        if [ ${#dscs[@]} -ne 1 ] || [ ! -f "${dscs[0]}" ]; then
            echo "expected one $package .dsc, found: ${dscs[*]}" >&2
            return 1
        fi
        # Whatever an earlier, interrupted fetch left is replaced.
        local item
        for item in "$incoming"/*; do
            rm -rf "${parent:?}/${item##*/}"
            mv "$item" "$parent/"
        done
        rmdir "$incoming"
        basename "${dscs[0]}" >"$stamp"
    fi
    debian_source_dsc="$parent/$(cat "$stamp")"
    debian_source_dir=""
    if [ "$mode" = unpack ]; then
        debian_source_dir="$parent/$(debian_source_folder_name "$debian_source_dsc")"
        [ -d "$debian_source_dir" ] || {
            echo "$package's source is not in $debian_source_dir" >&2
            return 1
        }
    fi
}

