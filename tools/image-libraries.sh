# bfrun's JPEG, TIFF and deflate libraries for the Windows builds: libjpeg-turbo, libtiff and
# libdeflate compiled from Debian's own source packages, static, with the project's toolchain
# files (libdeflate with its own Makefile and the toolchain's compiler), once per machine.
# Natively the builds use Debian's -dev packages (pkg-config). Sourced by tools/lib.sh, after it
# has set `repo`, `build_root` and `jobs`; the ARM64 build needs the ARM64 toolchain
# (tools/arm64-toolchain.sh) first.
# shellcheck disable=SC2154 # repo, jobs and arm64_sysroot come from tools/lib.sh
required_packages+=(nasm libjpeg-dev libtiff-dev libdeflate-dev)

# Everything is in one folder, set once here so that the release build (tools/release, which
# builds in a folder of its own) uses the libraries the tests ran:
#   src/                        the three Debian source packages, unpacked (fetch_debian_source)
#   MACHINE/build/jpeg, tiff    their CMake builds (MACHINE: x86-64 or arm64)
#   MACHINE/build/deflate       a copy of libdeflate's source, built in place by its Makefile
#   MACHINE/prefix/             include/, lib/libjpeg.a, lib/libtiff.a, lib/libdeflate.a and
#                               share/licences/
#   MACHINE/complete            the stamp: libjpeg-turbo and libtiff are in the prefix, built by
#                               the build_jpeg_and_tiff it holds the checksum of
#   MACHINE/deflate-complete    the stamp: libdeflate is in the prefix, likewise
# Remove MACHINE/ to build them anew.
image_libraries=$build_root/image-libraries

# The prefix of MACHINE's libraries, for CMake's BRIGHTFADE_IMAGE_LIBRARIES.
image_libraries_prefix() {
    echo "$image_libraries/$1/prefix"
}

# A build function's checksum, which its stamp holds: a changed configuration builds anew.
build_recipe() {
    declare -f "$1" | sha256sum | cut -d' ' -f1
}

# Builds MACHINE's libraries unless they are there as the build functions now make them; one
# line with each library's time.
ensure_image_libraries() {
    local machine=$1
    if [ "$(cat "$image_libraries/$machine/complete" 2>/dev/null)" != "$(build_recipe build_jpeg_and_tiff)" ]; then
        build_jpeg_and_tiff "$machine" || return 1
    fi
    if [ "$(cat "$image_libraries/$machine/deflate-complete" 2>/dev/null)" != "$(build_recipe build_libdeflate)" ]; then
        build_libdeflate "$machine" || return 1
    fi
}

build_jpeg_and_tiff() {
    local machine=$1
    fetch_debian_source libjpeg-turbo "$image_libraries/src" >/dev/null
    local jpeg_source=$debian_source_dir
    fetch_debian_source tiff "$image_libraries/src" >/dev/null
    local tiff_source=$debian_source_dir
    local work=$image_libraries/$machine
    local prefix=$work/prefix
    rm -rf "$work"
    mkdir -p "$work/logs" "$prefix/include" "$prefix/lib" "$prefix/share/licences"

    # The machine's toolchain file (for ARM64 it adds -ffp-contract=off, the sysroot's path map
    # and clang's resource folder to every compile) and the static zlib libtiff compiles against.
    # CFLAGS is added to what the toolchain file sets, not put in its place: no fused
    # multiply-add, and no path of this folder in what is compiled.
    local toolchain=() zlib_include zlib_library
    case $machine in
    x86-64)
        toolchain=(-DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake")
        zlib_include=/usr/x86_64-w64-mingw32/include
        zlib_library=/usr/x86_64-w64-mingw32/lib/libz.a
        ;;
    arm64)
        toolchain=(-DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-aarch64.cmake"
                   -DBRIGHTFADE_ARM64_SYSROOT="$arm64_sysroot")
        zlib_include=$arm64_sysroot/include
        zlib_library=$arm64_sysroot/lib/libz.a
        ;;
    *) echo "ensure_image_libraries: unknown machine $machine" >&2; return 1 ;;
    esac
    local cflags="-ffp-contract=off -ffile-prefix-map=$image_libraries/="
    local start

    # libjpeg-turbo: the libjpeg 6b API, static, with its SIMD code (NASM on x86-64, NEON
    # intrinsics on ARM64; REQUIRE_SIMD makes a build without it fail rather than fall back).
    # BUILD, otherwise the day of the build, names the encoder's version.
    start=$SECONDS
    if ! CFLAGS=$cflags cmake -S "$jpeg_source" -B "$work/build/jpeg" "${toolchain[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_12BIT=OFF -DWITH_FUZZ=OFF \
        -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DNEON_INTRINSICS=ON \
        -DCMAKE_ASM_NASM_FLAGS=--reproducible \
        -DBUILD="$(sed -n 's/^Version: *//p' "$image_libraries"/src/libjpeg-turbo_*.dsc)" \
        >"$work/logs/jpeg.log" 2>&1 ||
        ! cmake --build "$work/build/jpeg" -j "$jobs" --target jpeg-static \
            >>"$work/logs/jpeg.log" 2>&1; then
        tail -n 30 "$work/logs/jpeg.log" >&2
        echo "libjpeg-turbo for $machine failed (log: $work/logs/jpeg.log)" >&2
        return 1
    fi
    install -m 644 "$work/build/jpeg/libjpeg.a" "$prefix/lib/"
    install -m 644 "$jpeg_source/jpeglib.h" "$jpeg_source/jmorecfg.h" "$jpeg_source/jerror.h" \
        "$work/build/jpeg/jconfig.h" "$prefix/include/"
    mkdir -p "$prefix/share/licences/libjpeg-turbo"
    install -m 644 "$jpeg_source/LICENSE.md" "$jpeg_source/README.ijg" \
        "$jpeg_source/debian/copyright" "$prefix/share/licences/libjpeg-turbo/"
    local jpeg_seconds=$((SECONDS - start))

    # libtiff: Deflate (zlib), JPEG (the libjpeg above), LZW and PackBits, and for scans the
    # fax codecs (CCITT RLE, RLE/W, Group 3 and 4) and the 2- and 4-bit grey of NeXT and
    # ThunderScan; no other codec, no C++ API, tools, tests or documents.
    start=$SECONDS
    if ! CFLAGS=$cflags cmake -S "$tiff_source" -B "$work/build/tiff" "${toolchain[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
        -Dzlib=ON -DZLIB_INCLUDE_DIR="$zlib_include" -DZLIB_LIBRARY="$zlib_library" \
        -Djpeg=ON -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
        -Dlzw=ON -Dpackbits=ON -Dccitt=ON -Dthunder=ON -Dnext=ON \
        -Dold-jpeg=OFF -Djpeg12=OFF -Dpixarlog=OFF -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF \
        -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlogluv=OFF \
        -Dmdi=OFF -Dtiff-opengl=OFF -Dsphinx=OFF \
        >"$work/logs/tiff.log" 2>&1 ||
        ! cmake --build "$work/build/tiff" -j "$jobs" --target tiff >>"$work/logs/tiff.log" 2>&1
    then
        tail -n 30 "$work/logs/tiff.log" >&2
        echo "libtiff for $machine failed (log: $work/logs/tiff.log)" >&2
        return 1
    fi
    install -m 644 "$work/build/tiff/libtiff/libtiff.a" "$prefix/lib/"
    install -m 644 "$tiff_source/libtiff/tiff.h" "$tiff_source/libtiff/tiffio.h" \
        "$tiff_source/libtiff/tiffvers.h" "$work/build/tiff/libtiff/tiffconf.h" \
        "$prefix/include/"
    mkdir -p "$prefix/share/licences/libtiff"
    install -m 644 "$tiff_source/LICENSE.md" "$tiff_source/debian/copyright" \
        "$prefix/share/licences/libtiff/"
    build_recipe build_jpeg_and_tiff >"$work/complete"
    echo "image libraries for $machine: libjpeg-turbo $jpeg_seconds s, libtiff $((SECONDS - start)) s"
}

# libdeflate (bfrun's PNG writer compresses with it): the static library its Makefile makes,
# with the machine's compiler and the flags its toolchain file gives every compile. Only the
# library, no programs.
build_libdeflate() {
    local machine=$1
    fetch_debian_source libdeflate "$image_libraries/src" >/dev/null || return 1
    local source=$debian_source_dir
    local work=$image_libraries/$machine
    local prefix=$work/prefix
    local cc ar
    local cflags="-ffp-contract=off -ffile-prefix-map=$image_libraries/="
    case $machine in
    x86-64) cc=x86_64-w64-mingw32-gcc-posix ar=x86_64-w64-mingw32-ar ;;
    arm64)
        cc="clang-14 --target=aarch64-w64-mingw32 --sysroot=$arm64_sysroot"
        cc+=" -resource-dir=$arm64_sysroot/clang-resource"
        ar=llvm-ar-14
        cflags+=" -ffile-prefix-map=$arm64_sysroot/=arm64-sysroot/"
        ;;
    *) echo "build_libdeflate: unknown machine $machine" >&2; return 1 ;;
    esac
    local start=$SECONDS
    rm -rf "$work/build/deflate" "$work/deflate-complete"
    mkdir -p "$work/build" "$work/logs" "$prefix/include" "$prefix/lib" "$prefix/share/licences"
    cp -r "$source" "$work/build/deflate"
    # The Makefile names the static library of a Windows compiler libdeflatestatic.lib.
    if ! make -C "$work/build/deflate" -j "$jobs" CC="$cc" AR="$ar" CFLAGS="$cflags" \
        libdeflatestatic.lib >"$work/logs/deflate.log" 2>&1; then
        tail -n 30 "$work/logs/deflate.log" >&2
        echo "libdeflate for $machine failed (log: $work/logs/deflate.log)" >&2
        return 1
    fi
    install -m 644 "$work/build/deflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
    install -m 644 "$source/libdeflate.h" "$prefix/include/"
    mkdir -p "$prefix/share/licences/libdeflate"
    install -m 644 "$source/COPYING" "$source/debian/copyright" "$prefix/share/licences/libdeflate/"
    build_recipe build_libdeflate >"$work/deflate-complete"
    echo "libdeflate for $machine: $((SECONDS - start)) s"
}

# The Debian source packages the libraries were built from: one line each, the .dsc's sha256
# and its name.
image_libraries_source_packages() {
    (cd "$image_libraries/src" && sha256sum -- libjpeg-turbo_*.dsc tiff_*.dsc libdeflate_*.dsc)
}
