# Shared by tools/build and tools/test: package installation, the two builds and the Wine prefix.
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
    cmake -S "$repo" -B "$build_root/win64" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$build_root/win64" -j "$jobs" "$@"
}

build_native() {
    cmake -S "$repo" -B "$build_root/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$build_root/native" -j "$jobs"
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
