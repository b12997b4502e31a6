# Cross-compiles the Windows ARM64 build with Debian's clang-14 and lld-14, against the sysroot
# that tools/arm64-toolchain.sh builds from Debian's source packages (ensure_arm64_toolchain):
# mingw-w64's CRT, compiler-rt's builtins, libunwind, libc++abi, libc++ and zlib, all static.
# CTest runs the programs under Debian's arm64 Wine (tools/wine-arm64-run).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-aarch64.cmake -DBRIGHTFADE_ARM64_SYSROOT=<dir>
# libc++ (libc++abi in it) and libunwind exist only as static libraries; programs and DLLs link
# with -static, with which clang names libunwind.a itself.
set(CMAKE_SYSTEM_NAME Windows)
# ARM64 is the name CMake gives the processor of a Windows on ARM machine when it builds there
# (from PROCESSOR_ARCHITECTURE, as MSVC's ARM64 builds report it), so a test of it holds in both.
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(BRIGHTFADE_ARM64_SYSROOT "" CACHE PATH
    "the ARM64 sysroot built by tools/arm64-toolchain.sh (\$arm64_sysroot)")
if(NOT BRIGHTFADE_ARM64_SYSROOT OR NOT EXISTS "${BRIGHTFADE_ARM64_SYSROOT}/lib/libc++.a")
  message(FATAL_ERROR "BRIGHTFADE_ARM64_SYSROOT must name the ARM64 sysroot that "
                      "tools/arm64-toolchain.sh builds (ensure_arm64_toolchain); given: "
                      "'${BRIGHTFADE_ARM64_SYSROOT}'")
endif()
# try_compile projects read this file again, with the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRIGHTFADE_ARM64_SYSROOT)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET aarch64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET aarch64-w64-mingw32)
set(CMAKE_SYSROOT ${BRIGHTFADE_ARM64_SYSROOT})
set(CMAKE_AR llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB llvm-ranlib-14 CACHE FILEPATH "")
# GNU windres writes the .res file, llvm-cvtres the ARM64 object; the wrapper preprocesses the
# .rc file against the sysroot.
set(CMAKE_RC_COMPILER ${CMAKE_CURRENT_LIST_DIR}/../tools/arm64-windres)
set(CMAKE_RC_FLAGS_INIT "--sysroot=${BRIGHTFADE_ARM64_SYSROOT}")

# Every compile: no fused multiply-add where the source has a multiply and an add (clang fuses
# by default for ARM64, and the results must match the x86-64 build's to the bit); clang's
# resource folder in the sysroot, which holds compiler-rt's builtins; and the sysroot's path
# mapped away, so that where the toolchain was built does not show in what is compiled.
string(JOIN " " brightfade_arm64_flags -ffp-contract=off
       -resource-dir=${BRIGHTFADE_ARM64_SYSROOT}/clang-resource
       -ffile-prefix-map=${BRIGHTFADE_ARM64_SYSROOT}/=arm64-sysroot/)
set(CMAKE_C_FLAGS_INIT "${brightfade_arm64_flags}")
set(CMAKE_CXX_FLAGS_INIT "${brightfade_arm64_flags} -stdlib=libc++")
# The compile flags are on the link line too; these are the link's own: lld, compiler-rt's
# builtins in place of libgcc, and LLVM's libunwind in place of libgcc's unwinder (which
# Debian's clang would otherwise name for this target, as -lgcc_s).
set(brightfade_arm64_link_flags "-fuse-ld=lld -rtlib=compiler-rt -unwindlib=libunwind")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${brightfade_arm64_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${brightfade_arm64_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${brightfade_arm64_link_flags}")

set(CMAKE_FIND_ROOT_PATH ${BRIGHTFADE_ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The copyright of the zlib that bfrun links: Debian's zlib source, as built into the sysroot.
set(BRIGHTFADE_ZLIB_COPYRIGHT ${BRIGHTFADE_ARM64_SYSROOT}/share/doc/zlib/copyright
    CACHE FILEPATH "the copyright file of the zlib bfrun links")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-arm64-run)
