// The kernel's variants and the choice among them: the reference (plain C++, the definition)
// and the SIMD variants of the architecture being built (SSE2, AVX2 and AVX-512 on x86-64,
// NEON on ARM64). luminance_to_alpha() uses the fastest one this CPU runs, chosen on the first
// band; tests and benchmarks may lower that choice through limit_kernel_variant().
#pragma once

#include "transform/cpu_features.h"

enum class KernelVariant { reference, sse2, avx2, avx512, neon };

// This architecture's variants, slowest first; the last is the fastest.
#if defined(__aarch64__)
constexpr KernelVariant kAllKernelVariants[] = {KernelVariant::reference, KernelVariant::neon};
#else
constexpr KernelVariant kAllKernelVariants[] = {KernelVariant::reference, KernelVariant::sse2,
                                                KernelVariant::avx2, KernelVariant::avx512};
#endif
constexpr KernelVariant kFastestKernelVariant =
    kAllKernelVariants[sizeof kAllKernelVariants / sizeof kAllKernelVariants[0] - 1];

const char* kernel_variant_name(KernelVariant variant);
// False, and `variant` untouched, for a name that is none of this architecture's variants.
bool kernel_variant_from_name(const char* name, KernelVariant& variant);

bool cpu_runs(const CpuFeatures& cpu, KernelVariant variant);
// The fastest of this architecture's variants that `cpu` runs and that is not above `ceiling`
// in kAllKernelVariants; a ceiling of another architecture sets no limit.
KernelVariant choose_kernel_variant(const CpuFeatures& cpu, KernelVariant ceiling);

// This machine: whether it runs a variant, and the variant luminance_to_alpha() uses.
bool this_cpu_runs(KernelVariant variant);
KernelVariant kernel_variant_in_use();
// From now on luminance_to_alpha() uses the best variant this CPU runs up to `ceiling`; for
// tests and benchmarks (the module never calls it, and has no other way to be told).
void limit_kernel_variant(KernelVariant ceiling);
