# Shared by the scripts in tools/ (build, test, release, fuzz, check-static, bench-bfrun) and
# tests/release/release_tests.sh: package installation, the builds (native, Windows x86-64,
# Windows ARM64) and the Wine prefixes. Source it; it sets `repo` and `build_root`.
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
    llvm-14
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
    $sudo apt-get -o Acquire::Retries=3 update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o Acquire::Retries=3 install -y --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}"
}

jobs=$(nproc 2>/dev/null || echo 2)

build_windows() {
    fetch_libspng_source
    ensure_image_libraries x86-64
    # The preset's folders are under build/; BRIGHTFADE_BUILD may put them elsewhere.
    cmake -S "$repo" --preset win64 -B "$build_root/win64" \
        -DBRIGHTFADE_LIBSPNG_SOURCE="$libspng_source" \
        -DBRIGHTFADE_IMAGE_LIBRARIES="$(image_libraries_prefix x86-64)" >/dev/null
    cmake --build "$build_root/win64" -j "$jobs" "$@"
}

build_native() {
    cmake -S "$repo" --preset native -B "$build_root/native" >/dev/null
    cmake --build "$build_root/native" -j "$jobs"
}

# --- bfrun's PNG libraries -------------------------------------------------------------------
# libspng and zlib: natively Debian's -dev packages; for the Windows x86-64 build Debian's
# mingw-w64 zlib and libspng compiled from Debian's own source package, fetched once into the
# build folder (tools/debian-sources.sh); for ARM64 zlib comes with the toolchain.
required_packages+=(libspng-dev zlib1g-dev libz-mingw-w64-dev dpkg-dev time)
source "$repo/tools/debian-sources.sh"
libspng_source="$build_root/libspng/libspng-0.7.3"

fetch_libspng_source() {
    [ -f "$libspng_source/spng/spng.c" ] && return 0
    fetch_debian_source libspng "$(dirname "$libspng_source")" >/dev/null || return 1
    if [ "$debian_source_dir" != "$libspng_source" ]; then
        echo "Debian's libspng source is not version 0.7.3: $debian_source_dir" >&2
        return 1
    fi
    # The source package's description, with the hashes apt checked, goes with the source.
    cp "$debian_source_dsc" "$libspng_source/"
}

# --- bfrun's JPEG and TIFF libraries ---------------------------------------------------------
# libjpeg-turbo and libtiff: natively Debian's -dev packages; for Windows compiled from Debian's
# source packages, static, once per machine (tools/image-libraries.sh).
source "$repo/tools/image-libraries.sh"

# --- Windows ARM64 ----------------------------------------------------------------------------
# The toolchain (clang with a runtime built from Debian's sources) and the arm64 Debian root
# with Debian's arm64 Wine, run through qemu-user.
source "$repo/tools/arm64-toolchain.sh"
source "$repo/tools/arm64-wine.sh"

# The ARM64 module, bfrun and test programs in $build_root/arm64. The x86-64 module's path is
# given so that a test can compare the two modules' resources.
build_arm64() {
    fetch_libspng_source
    ensure_arm64_toolchain
    ensure_image_libraries arm64
    cmake -S "$repo" --preset arm64 -B "$build_root/arm64" \
        -DBRIGHTFADE_ARM64_SYSROOT="$arm64_sysroot" \
        -DBRIGHTFADE_LIBSPNG_SOURCE="$libspng_source" \
        -DBRIGHTFADE_IMAGE_LIBRARIES="$(image_libraries_prefix arm64)" \
        -DBRIGHTFADE_X86_64_MODULE="$build_root/win64/Brightfade.8bf" >/dev/null
    cmake --build "$build_root/arm64" -j "$jobs" "$@"
}
# --- end of Windows ARM64 ---------------------------------------------------------------------

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
    cmake -S "$repo" --preset fuzz -B "$build_root/fuzz" >/dev/null
    cmake --build "$build_root/fuzz" -j "$jobs"
}
