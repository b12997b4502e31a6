// The choice of the kernel's variant: by the CPU's features alone, made once. The choice is
// kept in two plain variables, not in function-local statics: those would bring in the C++
// runtime's guard and the thread library behind it, which allocates on the heap, and the
// module is only ever called on the host's one thread.
#include <cstring>

#include "transform/kernel_variants.h"

// A test-only build of the module may be made with a lower ceiling (tests/wine); the module
// that ships always takes the fastest variant the CPU runs.
#ifndef BRIGHTFADE_KERNEL_CEILING
#define BRIGHTFADE_KERNEL_CEILING kFastestKernelVariant
#endif

const char* kernel_variant_name(KernelVariant variant) {
    switch (variant) {
    case KernelVariant::reference:
        return "reference";
    case KernelVariant::sse2:
        return "sse2";
    case KernelVariant::avx2:
        return "avx2";
    case KernelVariant::avx512:
        return "avx512";
    case KernelVariant::neon:
        return "neon";
    }
    return "?";
}

bool kernel_variant_from_name(const char* name, KernelVariant& variant) {
    if (name == nullptr) return false;
    for (const KernelVariant candidate : kAllKernelVariants) {
        if (std::strcmp(name, kernel_variant_name(candidate)) == 0) {
            variant = candidate;
            return true;
        }
    }
    return false;
}

bool cpu_runs(const CpuFeatures& cpu, KernelVariant variant) {
    switch (variant) {
    case KernelVariant::reference:
        return true;
    case KernelVariant::sse2:
        return cpu.sse2;
    case KernelVariant::avx2:
        return cpu.avx2;
    case KernelVariant::avx512:
        return cpu.avx512;
    case KernelVariant::neon:
        return cpu.neon;
    }
    return false;
}

KernelVariant choose_kernel_variant(const CpuFeatures& cpu, KernelVariant ceiling) {
    constexpr int count = sizeof kAllKernelVariants / sizeof kAllKernelVariants[0];
    int top = count - 1;
    for (int i = 0; i < count; ++i)
        if (kAllKernelVariants[i] == ceiling) top = i;
    // From the fastest down; the reference, first, runs everywhere.
    for (int i = top; i > 0; --i)
        if (cpu_runs(cpu, kAllKernelVariants[i])) return kAllKernelVariants[i];
    return KernelVariant::reference;
}

namespace {

bool variant_chosen = false;
KernelVariant variant_in_use = KernelVariant::reference;

} // namespace

bool this_cpu_runs(KernelVariant variant) {
    return cpu_runs(this_cpu_features(), variant);
}

KernelVariant kernel_variant_in_use() {
    // On the first band, not at load time: the loader lock is no place for it, and a module
    // that is loaded only to read its resources never pays for it.
    if (!variant_chosen) limit_kernel_variant(BRIGHTFADE_KERNEL_CEILING);
    return variant_in_use;
}

void limit_kernel_variant(KernelVariant ceiling) {
    variant_in_use = choose_kernel_variant(this_cpu_features(), ceiling);
    variant_chosen = true;
}
