// The kernel's variants as the Windows build compiles them, against the reference, under
// Wine: random bands of every shape, every short width at every offset, all 2^24 RGB triples
// and every grey, for each variant of this architecture that this CPU runs; and the variant
// the kernel chooses by itself, which must be the fastest of them.
#include <chrono>
#include <cstdio>
#include <string>

#include "tests/common/variant_check.h"

namespace {

int check_variant(KernelVariant variant) {
    const auto start = std::chrono::steady_clock::now();
    const RowsUnderTest tested = rows_under_test(variant);
    const uint32_t random_start = 20260611u;
    std::string failure = compare_random_bands(tested, random_start, 3000);
    if (failure.empty()) failure = compare_short_widths_at_every_offset(tested);
    if (failure.empty()) failure = compare_all_rgb_triples(tested);
    if (failure.empty()) failure = compare_all_greys(tested);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!failure.empty()) {
        std::printf("FAILED %s\n", failure.c_str());
        return 1;
    }
    std::printf("%s: equal to the reference (3000 random bands, random start %u; widths 1-35 "
                "and 4099 at offsets 0-15; all 2^24 RGB triples; every grey) in %.1f s\n",
                tested.name, random_start, took.count());
    return 0;
}

} // namespace

int main() {
    int failures = 0;
    KernelVariant fastest = KernelVariant::reference;
    for (const KernelVariant variant : kAllKernelVariants) {
        if (!this_cpu_runs(variant)) {
            std::printf("%s: skipped, this CPU does not run it\n", kernel_variant_name(variant));
            continue;
        }
        fastest = variant;
        if (variant != KernelVariant::reference) failures += check_variant(variant);
    }
    const KernelVariant in_use = kernel_variant_in_use();
    std::printf("variant in use: %s\n", kernel_variant_name(in_use));
    if (in_use != fastest) {
        std::printf("FAILED: the kernel chose %s, not the fastest this CPU runs, %s\n",
                    kernel_variant_name(in_use), kernel_variant_name(fastest));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
