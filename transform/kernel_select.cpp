// The choice of the kernel's variant: by the CPU's features and BRIGHTFADE_KERNEL, made once.
#include <cstdlib>
#include <cstring>

#include "transform/kernel_variants.h"

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
    }
    return false;
}

KernelVariant choose_kernel_variant(const CpuFeatures& cpu, const char* forced) {
    KernelVariant ceiling = KernelVariant::avx512;
    kernel_variant_from_name(forced, ceiling);
    // From the fastest down; the reference runs everywhere.
    for (auto v = static_cast<int>(ceiling); v > 0; --v) {
        if (cpu_runs(cpu, static_cast<KernelVariant>(v))) return static_cast<KernelVariant>(v);
    }
    return KernelVariant::reference;
}

namespace {

const CpuFeatures& this_cpu() {
    static const CpuFeatures features = cpu_features_from(read_cpuid_registers());
    return features;
}

} // namespace

bool this_cpu_runs(KernelVariant variant) {
    return cpu_runs(this_cpu(), variant);
}

KernelVariant kernel_variant_in_use() {
    // On the first band, not at load time: the loader lock is no place for it, and a module
    // that is loaded only to read its resources never pays for it.
    static const KernelVariant chosen =
        choose_kernel_variant(this_cpu(), std::getenv("BRIGHTFADE_KERNEL"));
    return chosen;
}
