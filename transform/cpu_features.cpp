// Decodes cpuid and XCR0 into the features the kernel variants need, the way the vendors'
// manuals say software must: an instruction set counts only if the OS saves its registers.
// On ARM64 every CPU has NEON.
#include "transform/cpu_features.h"

#if defined(__aarch64__)

CpuFeatures this_cpu_features() {
    CpuFeatures features;
    features.neon = true;
    return features;
}

#else

#include <cpuid.h>

namespace {

bool bit(uint64_t value, int index) {
    return ((value >> index) & 1u) != 0;
}

// XCR0: x87 (bit 0), SSE (1), AVX (2); opmask (5), upper halves of ZMM0-15 (6), ZMM16-31 (7).
constexpr uint64_t kYmmState = 0x6;
constexpr uint64_t kZmmState = 0xE0;

} // namespace

CpuFeatures cpu_features_from(const CpuidRegisters& r) {
    CpuFeatures features;
    features.sse2 = bit(r.leaf1_edx, 26);
    const bool os_saves_ymm = bit(r.leaf1_ecx, 27) && (r.xcr0 & kYmmState) == kYmmState;
    const bool os_saves_zmm = os_saves_ymm && (r.xcr0 & kZmmState) == kZmmState;
    const uint32_t leaf7 = r.max_leaf >= 7 ? r.leaf7_ebx : 0;
    const bool avx = bit(r.leaf1_ecx, 28) && os_saves_ymm;
    features.avx2 = features.sse2 && avx && bit(leaf7, 5);
    features.avx512 = features.avx2 && os_saves_zmm && bit(leaf7, 16) && // F
                      bit(leaf7, 30) && bit(leaf7, 31);                  // BW, VL
    return features;
}

CpuidRegisters read_cpuid_registers() {
    CpuidRegisters r;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    r.max_leaf = __get_cpuid_max(0, nullptr);
    if (r.max_leaf >= 1 && __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        r.leaf1_ecx = ecx;
        r.leaf1_edx = edx;
    }
    if (r.max_leaf >= 7 && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) r.leaf7_ebx = ebx;
    if (bit(r.leaf1_ecx, 27)) {
        uint32_t low = 0, high = 0;
        __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        r.xcr0 = (uint64_t{high} << 32) | low;
    }
    return r;
}

CpuFeatures this_cpu_features() {
    return cpu_features_from(read_cpuid_registers());
}

#endif
