# The Windows ARM64 toolchain (aarch64-w64-mingw32): Debian's clang-14 and lld-14 with a
# sysroot built here from Debian's own source packages - mingw-w64's headers and C runtime,
# LLVM's compiler-rt builtins, libunwind, libc++abi and libc++ (llvm-toolchain-14) and zlib.
# Sourced by tools/lib.sh, after it has set `repo`, `build_root`, `jobs` and
# install_missing_packages.
# shellcheck disable=SC2154 # repo and jobs come from tools/lib.sh
# python3-distutils: libc++'s build scripts import distutils; lld: clang's -fuse-ld=lld looks for
# the unversioned ld.lld.
required_packages+=(clang-14 lld-14 lld llvm-14 binutils-mingw-w64-x86-64 dpkg-dev
                    cmake ninja-build python3 python3-distutils xz-utils)

# --- The toolchain ----------------------------------------------------------------------------
# Everything - sources, build folders, logs and the sysroot - is in one folder, which a clean
# clone's release build may share through BRIGHTFADE_ARM64_TOOLCHAIN. Sysroot layout:
#   include/, lib/         mingw-w64 headers and CRT, libc++ headers (include/c++/v1),
#                          libc++.a (libc++abi in it), libunwind.a, zlib (zlib.h, libz.a)
#   share/doc/zlib/        zlib's Debian copyright file
#   clang-resource/        clang's resource folder for -resource-dir: Debian clang-14's own
#                          headers (a link) and lib/windows/libclang_rt.builtins-aarch64.a
arm64_toolchain=${BRIGHTFADE_ARM64_TOOLCHAIN:-$build_root/arm64-toolchain}
case $arm64_toolchain in /*) ;; *) arm64_toolchain=$PWD/$arm64_toolchain ;; esac
arm64_sysroot=$arm64_toolchain/sysroot
arm64_toolchain_script=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")

# The pieces of llvm-toolchain-14's 124 MiB tarball that the runtimes need.
arm64_llvm_parts=(compiler-rt/lib/builtins compiler-rt/cmake compiler-rt/include
                  compiler-rt/LICENSE.TXT libcxx libcxxabi libunwind runtimes cmake
                  llvm/cmake llvm/utils/llvm-lit)

# Flags of every ARM64 compile of the runtime: no fused multiply-add where the source has a
# multiply and an add (clang fuses by default for ARM64), and no toolchain folder path in what
# is compiled (sources, build folders and sysroot all lie under it).
_arm64_runtime_cflags() {
    echo "-O2 -ffp-contract=off -ffile-prefix-map=$arm64_toolchain/="
}

_arm64_cc() {
    echo "clang-14 --target=aarch64-w64-mingw32 --sysroot=$arm64_sysroot"
}

# Builds the toolchain into $arm64_toolchain unless it is there; one line per step with its
# time, each step's output in logs/STEP.log. Remove the folder to build it anew.
ensure_arm64_toolchain() {
    [ -f "$arm64_toolchain/stamps/complete" ] && return 0
    mkdir -p "$arm64_toolchain/stamps" "$arm64_toolchain/logs"
    local lock
    exec {lock}>"$arm64_toolchain/.lock"
    flock "$lock"
    local step status=0
    for step in sources mingw-headers mingw-crt builtins runtimes zlib check; do
        _arm64_toolchain_step "$step" || { status=1; break; }
    done
    [ $status -eq 0 ] && touch "$arm64_toolchain/stamps/complete"
    exec {lock}>&-
    return $status
}

# Runs one step once, in a bash of its own so that `set -e` holds whatever the caller's context.
_arm64_toolchain_step() {
    local step=$1
    local stamp="$arm64_toolchain/stamps/$step" log="$arm64_toolchain/logs/$step.log"
    [ -f "$stamp" ] && return 0
    local start end status=0
    start=$(date +%s.%N)
    repo=$repo build_root=$build_root jobs=$jobs BRIGHTFADE_ARM64_TOOLCHAIN=$arm64_toolchain \
        bash -c 'set -euo pipefail; required_packages=(); source "$1"; source "$2"
                 "_arm64_build_$3"' \
        _ "$repo/tools/debian-sources.sh" "$arm64_toolchain_script" "$step" </dev/null >"$log" \
        2>&1 || status=$?
    end=$(date +%s.%N)
    if [ $status -ne 0 ]; then
        tail -n 40 "$log" >&2
        echo "ARM64 toolchain: $step failed (exit $status; log: $log)" >&2
        return 1
    fi
    touch "$stamp"
    awk -v s="$start" -v e="$end" -v n="$step" \
        'BEGIN { printf "ARM64 toolchain: %-14s %6.1f s\n", n, e - s }'
}

_arm64_build_sources() {
    local src=$arm64_toolchain/src
    fetch_debian_source mingw-w64 "$src"
    fetch_debian_source zlib "$src"
    fetch_debian_source_archives llvm-toolchain-14 "$src"
    local orig top
    orig=$(ls "$src"/llvm-toolchain-14_*.orig.tar.xz)
    # The tarball's one top folder is named as the tarball: llvm-toolchain-14_VERSION.
    top=$(basename "$orig" .orig.tar.xz)
    rm -rf "$src/llvm-project"
    mkdir -p "$src/llvm-project"
    tar -xf "$orig" -C "$src/llvm-project" --strip-components=1 "${arm64_llvm_parts[@]/#/$top/}"
    # The Debian packaging of LLVM, for its copyright file.
    tar -xf "$(ls "$src"/llvm-toolchain-14_*.debian.tar.xz)" -C "$src/llvm-project" debian/copyright
}

_arm64_build_mingw-headers() {
    local build=$arm64_toolchain/build/mingw-headers
    fetch_debian_source mingw-w64 "$arm64_toolchain/src"
    rm -rf "$build"
    mkdir -p "$build"
    cd "$build" || return 1
    "$debian_source_dir/mingw-w64-headers/configure" --host=aarch64-w64-mingw32 \
        --prefix="$arm64_sysroot" --with-default-msvcrt=msvcrt
    make -j "$jobs" install
}

# The C runtime for ARM64 alone, against msvcrt.dll (as Debian's x86-64 one). It is built from
# upstream's Makefile.in: Debian's changes to Makefile.am are for binutils' dlltool and its own
# build flags, and the configure script's maintainer mode is off, so automake never runs.
_arm64_build_mingw-crt() {
    local build=$arm64_toolchain/build/mingw-crt
    fetch_debian_source mingw-w64 "$arm64_toolchain/src"
    rm -rf "$build"
    mkdir -p "$build"
    cd "$build" || return 1
    "$debian_source_dir/mingw-w64-crt/configure" --host=aarch64-w64-mingw32 \
        --prefix="$arm64_sysroot" --enable-libarm64 --disable-lib32 --disable-lib64 \
        --disable-libarm32 --with-default-msvcrt=msvcrt \
        CC="$(_arm64_cc)" CXX="$(_arm64_cc | sed 's/^clang-14/clang++-14/')" \
        CFLAGS="$(_arm64_runtime_cflags)" CXXFLAGS="$(_arm64_runtime_cflags)" \
        AR=llvm-ar-14 RANLIB=llvm-ranlib-14 DLLTOOL=llvm-dlltool-14 AS=:
    make -j "$jobs"
    make install
}

# compiler-rt's builtins (__chkstk, 128-bit integer and float helpers, outline atomics), in a
# resource folder of our own that holds clang's headers too, so that -rtlib=compiler-rt finds
# them without touching Debian's clang.
_arm64_build_builtins() {
    local source=$arm64_toolchain/src/llvm-project/compiler-rt/lib/builtins
    local build=$arm64_toolchain/build/builtins resource=$arm64_sysroot/clang-resource
    rm -rf "$build" "$resource"
    mkdir -p "$resource/lib"
    ln -s "$(clang-14 -print-resource-dir)/include" "$resource/include"
    cmake -G Ninja -S "$source" -B "$build" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_ASM_COMPILER=clang-14 \
        -DCMAKE_C_COMPILER_TARGET=aarch64-w64-windows-gnu \
        -DCMAKE_ASM_COMPILER_TARGET=aarch64-w64-windows-gnu \
        -DCMAKE_SYSROOT="$arm64_sysroot" \
        -DCMAKE_C_COMPILER_WORKS=TRUE -DCMAKE_ASM_COMPILER_WORKS=TRUE \
        -DCMAKE_AR="$(command -v llvm-ar-14)" -DCMAKE_RANLIB="$(command -v llvm-ranlib-14)" \
        -DCMAKE_C_FLAGS="$(_arm64_runtime_cflags)" -DCMAKE_ASM_FLAGS="$(_arm64_runtime_cflags)" \
        -DCMAKE_INSTALL_PREFIX="$resource" \
        -DLLVM_CONFIG_PATH="" \
        -DCOMPILER_RT_DEFAULT_TARGET_ONLY=TRUE \
        -DCOMPILER_RT_BUILD_BUILTINS=TRUE \
        -DCOMPILER_RT_INCLUDE_TESTS=OFF
    cmake --build "$build" -j "$jobs"
    cmake --install "$build"
    test -f "$resource/lib/windows/libclang_rt.builtins-aarch64.a"
}

# libunwind, libc++abi and libc++, static only, as llvm-mingw builds them: libc++abi goes into
# libc++.a, libunwind stays apart (clang's -unwindlib=libunwind links it with -static).
# Threads are Win32's own (no winpthreads in this sysroot).
_arm64_build_runtimes() {
    local source=$arm64_toolchain/src/llvm-project/runtimes build=$arm64_toolchain/build/runtimes
    local resource=$arm64_sysroot/clang-resource
    # No unwinder for the links of the configure checks: there is none yet, and Debian's
    # clang would name libgcc's (-lgcc_s). On their compiles it would be an unused argument,
    # an error under the checks' -Werror.
    local link_flags="-fuse-ld=lld -rtlib=compiler-rt -unwindlib=none"
    rm -rf "$build"
    cmake -G Ninja -S "$source" -B "$build" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$arm64_sysroot" \
        -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_C_COMPILER_TARGET=aarch64-w64-windows-gnu \
        -DCMAKE_CXX_COMPILER_TARGET=aarch64-w64-windows-gnu \
        -DCMAKE_SYSROOT="$arm64_sysroot" \
        -DCMAKE_C_COMPILER_WORKS=TRUE -DCMAKE_CXX_COMPILER_WORKS=TRUE \
        -DCMAKE_AR="$(command -v llvm-ar-14)" -DCMAKE_RANLIB="$(command -v llvm-ranlib-14)" \
        -DCMAKE_C_FLAGS="$(_arm64_runtime_cflags) -resource-dir=$resource" \
        -DCMAKE_CXX_FLAGS="$(_arm64_runtime_cflags) -resource-dir=$resource" \
        -DCMAKE_EXE_LINKER_FLAGS="$link_flags" -DCMAKE_SHARED_LINKER_FLAGS="$link_flags" \
        -DPython3_EXECUTABLE=/usr/bin/python3 \
        -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" \
        -DLLVM_INCLUDE_TESTS=OFF -DLLVM_INCLUDE_DOCS=OFF \
        -DLIBUNWIND_USE_COMPILER_RT=TRUE \
        -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBUNWIND_ENABLE_STATIC=ON \
        -DLIBUNWIND_INCLUDE_TESTS=OFF -DLIBUNWIND_INCLUDE_DOCS=OFF \
        -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXXABI_USE_LLVM_UNWINDER=ON \
        -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXXABI_ENABLE_STATIC=ON \
        -DLIBCXXABI_LIBDIR_SUFFIX="" -DLIBCXXABI_INCLUDE_TESTS=OFF \
        -DLIBCXX_USE_COMPILER_RT=ON -DLIBCXX_CXX_ABI=libcxxabi \
        -DLIBCXX_ENABLE_SHARED=OFF -DLIBCXX_ENABLE_STATIC=ON \
        -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=TRUE \
        -DLIBCXX_ENABLE_EXPERIMENTAL_LIBRARY=OFF \
        -DLIBCXX_ENABLE_ABI_LINKER_SCRIPT=FALSE \
        -DLIBCXX_LIBDIR_SUFFIX="" \
        -DLIBCXX_INCLUDE_TESTS=FALSE -DLIBCXX_INCLUDE_BENCHMARKS=OFF -DLIBCXX_INCLUDE_DOCS=OFF
    cmake --build "$build" -j "$jobs"
    cmake --install "$build"
    test -f "$arm64_sysroot/lib/libc++.a" && test -f "$arm64_sysroot/lib/libunwind.a"
}

# zlib as a static library. Debian's source has no win32/ folder (its makefiles for MinGW are
# left out of the dfsg tarball), and zlib's configure refuses MinGW, so the library's sources
# are compiled here as win32/Makefile.gcc would, zconf.h as shipped.
_arm64_build_zlib() {
    local build=$arm64_toolchain/build/zlib
    fetch_debian_source zlib "$arm64_toolchain/src"
    rm -rf "$build"
    mkdir -p "$build"
    local name objects=()
    for name in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
        inflate inftrees trees uncompr zutil; do
        # shellcheck disable=SC2046
        $(_arm64_cc) $(_arm64_runtime_cflags) -Wall -c "$debian_source_dir/$name.c" \
            -o "$build/$name.o"
        objects+=("$build/$name.o")
    done
    rm -f "$build/libz.a"
    (cd "$build" && llvm-ar-14 rcs libz.a "${objects[@]##*/}")
    install -m 644 "$debian_source_dir/zlib.h" "$debian_source_dir/zconf.h" \
        "$arm64_sysroot/include/"
    install -m 644 "$build/libz.a" "$arm64_sysroot/lib/"
    # Where Debian keeps it, for cmake/mingw-w64-aarch64.cmake to name.
    install -D -m 644 "$debian_source_dir/debian/copyright" \
        "$arm64_sysroot/share/doc/zlib/copyright"
}

# A C++ program with a thread and an exception, linked -static: the pieces fit together and
# give an ARM64 executable that needs no DLL of the toolchain.
_arm64_build_check() {
    local build=$arm64_toolchain/build/check
    rm -rf "$build"
    mkdir -p "$build"
    cat >"$build/check.cpp" <<'CPP'
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <zlib.h>

int main() {
    std::string message;
    std::thread worker([&message] { message = "thread"; });
    worker.join();
    try {
        throw std::runtime_error(message);
    } catch (const std::exception& e) {
        std::printf("%s %s\n", e.what(), zlibVersion());
    }
}
CPP
    clang++-14 --target=aarch64-w64-mingw32 --sysroot="$arm64_sysroot" \
        -resource-dir="$arm64_sysroot/clang-resource" -stdlib=libc++ -fuse-ld=lld \
        -rtlib=compiler-rt -unwindlib=libunwind -std=c++17 -O2 -ffp-contract=off -static \
        "$build/check.cpp" -lz -o "$build/check.exe"
    llvm-readobj-14 --file-headers --coff-imports "$build/check.exe" >"$build/check.txt"
    grep -q 'Machine: IMAGE_FILE_MACHINE_ARM64' "$build/check.txt"
    local dll
    while read -r dll; do
        case ${dll,,} in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | shell32.dll) ;;
        *) echo "check.exe imports $dll" >&2; return 1 ;;
        esac
    done < <(sed -n 's/^ *Name: \(.*\.dll\)$/\1/Ip' "$build/check.txt")
}

# --- What goes with the programs --------------------------------------------------------------

# Copies into DIR the licence and copyright texts of the parts of the toolchain that end up in
# the programs: mingw-w64's runtime, compiler-rt's builtins, libunwind, libc++abi, libc++ and
# zlib.
arm64_toolchain_licences() {
    local dir=${1:?usage: arm64_toolchain_licences DIR}
    local src=$arm64_toolchain/src mingw llvm=$arm64_toolchain/src/llvm-project part
    fetch_debian_source mingw-w64 "$src" || return 1
    mingw=$debian_source_dir
    mkdir -p "$dir/mingw-w64" "$dir/llvm" "$dir/zlib"
    cp "$mingw/debian/copyright" "$mingw/COPYING" "$mingw/DISCLAIMER" "$mingw/DISCLAIMER.PD" \
        "$mingw/COPYING.MinGW-w64-runtime/COPYING.MinGW-w64-runtime.txt" "$dir/mingw-w64/" ||
        return 1
    for part in compiler-rt libunwind libcxxabi libcxx; do
        cp "$llvm/$part/LICENSE.TXT" "$dir/llvm/$part-LICENSE.TXT" || return 1
    done
    cp "$llvm/debian/copyright" "$dir/llvm/copyright" || return 1
    fetch_debian_source zlib "$src" || return 1
    cp "$debian_source_dir/debian/copyright" "$dir/zlib/copyright"
}

# The Debian source packages the toolchain was built from: one line each, the .dsc's sha256
# and its name (each .dsc lists the hashes of the archives apt checked).
arm64_toolchain_source_packages() {
    (cd "$arm64_toolchain/src" && sha256sum -- mingw-w64_*.dsc llvm-toolchain-14_*.dsc zlib_*.dsc)
}
