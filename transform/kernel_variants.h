// The kernel's variants and the choice among them: the reference (plain C++, the definition)
// and the SIMD variants for x86-64. The fastest one the CPU runs is chosen once, on the first
// band; BRIGHTFADE_KERNEL=reference|sse2|avx2|avx512 in the environment forces one (a variant
// the CPU lacks gives the best one below it).
#pragma once

#include "transform/cpu_features.h"

enum class KernelVariant { reference, sse2, avx2, avx512 };

constexpr KernelVariant kAllKernelVariants[] = {KernelVariant::reference, KernelVariant::sse2,
                                                KernelVariant::avx2, KernelVariant::avx512};

const char* kernel_variant_name(KernelVariant variant);
// False, and `variant` untouched, for a name that is none of the variants'.
bool kernel_variant_from_name(const char* name, KernelVariant& variant);

bool cpu_runs(const CpuFeatures& cpu, KernelVariant variant);
// The fastest variant `cpu` runs, or, when `forced` names a variant, the best one it runs that
// is not above that one. `forced` may be null.
KernelVariant choose_kernel_variant(const CpuFeatures& cpu, const char* forced);

// This machine: whether it runs a variant, and the variant luminance_to_alpha() uses.
bool this_cpu_runs(KernelVariant variant);
KernelVariant kernel_variant_in_use();
