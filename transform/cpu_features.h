// What the CPU and the operating system let the kernel use. On x86-64 it is decoded from the
// raw cpuid and XCR0 registers by a pure function (testable with made-up registers); on ARM64
// there is nothing to ask: NEON is part of the architecture.
#pragma once

#include <cstdint>

struct CpuFeatures {
    bool sse2 = false;
    bool avx2 = false;   // AVX and AVX2, with the YMM state saved by the OS
    bool avx512 = false; // all the above and AVX-512 F, BW and VL, with the ZMM state saved
    bool neon = false;   // ARM64's Advanced SIMD
};

// This machine's features.
CpuFeatures this_cpu_features();

#if !defined(__aarch64__)
struct CpuidRegisters {
    uint32_t max_leaf = 0;  // cpuid leaf 0, EAX
    uint32_t leaf1_ecx = 0; // cpuid leaf 1
    uint32_t leaf1_edx = 0;
    uint32_t leaf7_ebx = 0; // cpuid leaf 7 subleaf 0, when max_leaf >= 7
    uint64_t xcr0 = 0;      // xgetbv(0), when the OS enabled it (leaf 1 ECX bit 27, OSXSAVE)
};

CpuFeatures cpu_features_from(const CpuidRegisters& registers);

// This machine's registers. XGETBV runs only when OSXSAVE is set: without it, it faults.
CpuidRegisters read_cpuid_registers();
#endif
