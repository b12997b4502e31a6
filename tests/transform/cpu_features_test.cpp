// Decoding cpuid and XCR0 into the kernel's features, from made-up registers, and the choice
// of variant from the features and a ceiling.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/common/kernel_variant_printer.h"
#include "transform/cpu_features.h"
#include "transform/kernel_variants.h"

namespace {

constexpr uint32_t kSse2 = 1u << 26;                               // leaf 1 EDX
constexpr uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28;           // leaf 1 ECX
constexpr uint32_t kAvx2 = 1u << 5;                                // leaf 7 EBX
constexpr uint32_t kAvx512 = (1u << 16) | (1u << 30) | (1u << 31); // F, BW, VL
constexpr uint64_t kXmmYmm = 0x7, kAllVectorState = 0xE7;

CpuidRegisters avx512_machine() {
    CpuidRegisters r;
    r.max_leaf = 0xD;
    r.leaf1_edx = kSse2;
    r.leaf1_ecx = kOsxsave | kAvx;
    r.leaf7_ebx = kAvx2 | kAvx512;
    r.xcr0 = kAllVectorState;
    return r;
}

} // namespace

TEST(CpuFeatures, AMachineWithEverythingRunsEveryVariant) {
    const CpuFeatures f = cpu_features_from(avx512_machine());
    EXPECT_TRUE(f.sse2);
    EXPECT_TRUE(f.avx2);
    EXPECT_TRUE(f.avx512);
}

TEST(CpuFeatures, AvxNeedsTheOperatingSystemToSaveItsRegisters) {
    CpuidRegisters r = avx512_machine();
    r.leaf1_ecx = kAvx; // no OSXSAVE: XCR0 was never read, whatever it holds here
    EXPECT_FALSE(cpu_features_from(r).avx2);
    r = avx512_machine();
    r.xcr0 = 0x3; // x87 and SSE only
    EXPECT_FALSE(cpu_features_from(r).avx2);
    r.xcr0 = kXmmYmm; // YMM but not ZMM state
    const CpuFeatures f = cpu_features_from(r);
    EXPECT_TRUE(f.avx2);
    EXPECT_FALSE(f.avx512);
}

TEST(CpuFeatures, EachMissingInstructionSetBitCounts) {
    CpuidRegisters r = avx512_machine();
    r.leaf7_ebx = kAvx2 | (1u << 16) | (1u << 30); // no VL
    EXPECT_FALSE(cpu_features_from(r).avx512);
    EXPECT_TRUE(cpu_features_from(r).avx2);
    r.leaf7_ebx = kAvx512; // AVX-512 without AVX2 is taken as neither
    EXPECT_FALSE(cpu_features_from(r).avx2);
    EXPECT_FALSE(cpu_features_from(r).avx512);
    r = avx512_machine();
    r.leaf1_ecx = kOsxsave; // no AVX
    EXPECT_FALSE(cpu_features_from(r).avx2);
    r = avx512_machine();
    r.max_leaf = 6; // leaf 7 not there: its register is stale
    EXPECT_FALSE(cpu_features_from(r).avx2);
    EXPECT_TRUE(cpu_features_from(r).sse2);
    EXPECT_FALSE(cpu_features_from(CpuidRegisters{}).sse2);
}

TEST(CpuFeatures, ThisMachineDecodesAsLinuxReportsIt) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
    }
    if (line.empty()) GTEST_SKIP() << "no /proc/cpuinfo";
    std::istringstream words(line.substr(line.find(':') + 1));
    bool avx2 = false, f = false, bw = false, vl = false;
    for (std::string flag; words >> flag;) {
        avx2 |= flag == "avx2";
        f |= flag == "avx512f";
        bw |= flag == "avx512bw";
        vl |= flag == "avx512vl";
    }
    const CpuFeatures features = cpu_features_from(read_cpuid_registers());
    EXPECT_TRUE(features.sse2);
    EXPECT_EQ(features.avx2, avx2);
    EXPECT_EQ(features.avx512, avx2 && f && bw && vl);
}

TEST(KernelChoice, TheFastestVariantTheCpuRunsUpToTheCeiling) {
    CpuFeatures avx2_cpu;
    avx2_cpu.sse2 = avx2_cpu.avx2 = true;
    EXPECT_EQ(choose_kernel_variant(avx2_cpu, kFastestKernelVariant), KernelVariant::avx2);
    EXPECT_EQ(choose_kernel_variant(avx2_cpu, KernelVariant::sse2), KernelVariant::sse2);
    EXPECT_EQ(choose_kernel_variant(avx2_cpu, KernelVariant::reference), KernelVariant::reference);
    // A ceiling the CPU lacks gives the best variant below it; one of another architecture, no
    // limit.
    EXPECT_EQ(choose_kernel_variant(avx2_cpu, KernelVariant::avx512), KernelVariant::avx2);
    EXPECT_EQ(choose_kernel_variant(avx2_cpu, KernelVariant::neon), KernelVariant::avx2);
    EXPECT_EQ(choose_kernel_variant(cpu_features_from(avx512_machine()), kFastestKernelVariant),
              KernelVariant::avx512);
    EXPECT_EQ(choose_kernel_variant(CpuFeatures{}, KernelVariant::avx2), KernelVariant::reference);
    // A NEON CPU runs no x86 variant: the reference is all there is on x86-64.
    CpuFeatures neon_cpu;
    neon_cpu.neon = true;
    EXPECT_EQ(choose_kernel_variant(neon_cpu, kFastestKernelVariant), KernelVariant::reference);
}

TEST(KernelChoice, LimitedForTestsAndBackToTheFastest) {
    limit_kernel_variant(KernelVariant::reference);
    EXPECT_EQ(kernel_variant_in_use(), KernelVariant::reference);
    limit_kernel_variant(kFastestKernelVariant);
    EXPECT_EQ(kernel_variant_in_use(),
              choose_kernel_variant(this_cpu_features(), kFastestKernelVariant));
    EXPECT_TRUE(this_cpu_runs(kernel_variant_in_use()));
}
