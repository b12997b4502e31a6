# Shared by the scripts in tools/ (build, test, release, fuzz, check-static, bench-bfrun) and
# tests/release/release_tests.sh: package installation, the two builds and the Wine prefix.
# Source it; it sets `repo`.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Where the builds and the Wine prefix go; a second working copy of the tools may set its own.
build_root=${BRIGHTFADE_BUILD:-$repo/build}

# Debian packages the builds and tests need.
required_packages=(
    cmake make g++ pkg-config
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine64 xvfb xauth x11-apps
    libgtest-dev libbenchmark-dev
    libstb-dev imagemagick fonts-dejavu-core icoutils
)

# --- Release (tools/release and its tests in tests/release) -----------------------------------
required_packages+=(git zip unzip)

# The release version, from its one place.
release_version() {
    sed -n 's/^#define BRIGHTFADE_VERSION "\(.*\)"$/\1/p' "$repo/resources/version.h"
}
# --- end of release ---------------------------------------------------------------------------

# --- Kernel variants: the fallback without AVX is run on an emulated Core 2 (qemu-x86_64). ---
required_packages+=(qemu-user)

install_missing_packages() {
    local missing=()
    local p
    for p in "${required_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}"
}

jobs=$(nproc 2>/dev/null || echo 2)

build_windows() {
    fetch_libspng_source
    cmake -S "$repo" -B "$build_root/win64" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
        -DBRIGHTFADE_LIBSPNG_SOURCE="$libspng_source" >/dev/null
    cmake --build "$build_root/win64" -j "$jobs" "$@"
}

build_native() {
    cmake -S "$repo" -B "$build_root/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$build_root/native" -j "$jobs"
}

# --- bfrun's PNG libraries -------------------------------------------------------------------
# libspng and zlib: natively Debian's -dev packages; for the Windows build Debian's mingw-w64
# zlib and libspng compiled from Debian's own source package, which is fetched once into the
# build folder through a private apt set-up: deb-src entries derived from the machine's own
# Debian sources (tools/deb-src-entries), package lists and cache of its own. Nothing of the
# system's apt configuration changes, and apt checks the signatures and hashes as usual.
required_packages+=(libspng-dev zlib1g-dev libz-mingw-w64-dev dpkg-dev time)
libspng_source="$build_root/libspng-0.7.3"

fetch_libspng_source() {
    [ -f "$libspng_source/spng/spng.c" ] && return 0
    local work="$build_root/libspng-fetch"
    rm -rf "$work"
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/source"
    "$repo/tools/deb-src-entries" "$work/etc"
    local private=(
        -o Dir::Etc::SourceList="$work/etc/sources.list"
        -o Dir::Etc::SourceParts="$work/etc/sources.list.d"
        -o Dir::State::Lists="$work/lists"
        -o Dir::Cache="$work/cache"
    )
    echo "Fetching Debian's libspng source package into $work"
    # A source that offers no source packages fails the update but not the fetch below.
    apt-get "${private[@]}" update >"$work/update.log" 2>&1 ||
        echo "apt-get update reported problems (see $work/update.log)"
    if ! (cd "$work/source" && apt-get "${private[@]}" source libspng >"$work/source.log" 2>&1); then
        cat "$work/source.log" >&2
        echo "could not fetch libspng's source package (see $work/update.log)" >&2
        return 1
    fi
    if [ ! -f "$work/source/libspng-0.7.3/spng/spng.c" ]; then
        echo "Debian's libspng source is not version 0.7.3: $(ls "$work/source")" >&2
        return 1
    fi
    mv "$work/source/libspng-0.7.3" "$libspng_source"
    # The source package's description, with the hashes apt checked, goes with the source.
    cp "$work"/source/libspng_*.dsc "$libspng_source/"
}

# --- Wine -----------------------------------------------------------------------------------
export WINEPREFIX="$build_root/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

wineserver_bin() {
    if command -v wineserver >/dev/null; then command -v wineserver
    else echo /usr/lib/wine/wineserver64; fi
}

# Creates the prefix once (about 10 s); later runs reuse it. Without a window manager Wine
# would wait 2 s whenever a window closes unless its windows are unmanaged and undecorated.
ensure_wine_prefix() {
    [ -f "$WINEPREFIX/.brightfade-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    "$repo/tools/wine-run" wineboot -i >/dev/null 2>&1 || true
    "$repo/tools/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$repo/tools/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    "$(wineserver_bin)" -w
    touch "$WINEPREFIX/.brightfade-ready"
}

# Keeps one wine server alive for a series of runs, so that each run does not wait for
# Wine's helper processes to start and linger; one warm-up run starts them.
start_wine_session() {
    "$(wineserver_bin)" -p
    "$repo/tools/wine-run" cmd /c exit >/dev/null 2>&1 || true
}

end_wine_session() {
    "$(wineserver_bin)" -k 2>/dev/null || true
    "$(wineserver_bin)" -w 2>/dev/null || true
}

# --- Fuzzing and static analysis (tools/fuzz, tools/check-static) ----------------------------
required_packages+=(clang-14 libfuzzer-14-dev libclang-rt-14-dev clang-tidy cppcheck clang-format)

# The libFuzzer targets (tests/fuzz), built with clang under AddressSanitizer and UBSan in a
# folder of their own.
build_fuzz() {
    cmake -S "$repo" -B "$build_root/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIGHTFADE_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
    cmake --build "$build_root/fuzz" -j "$jobs"
}
