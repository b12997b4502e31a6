// Run under an emulated CPU without AVX (qemu-x86_64 -cpu Conroe): the kernel must choose SSE2
// without touching XGETBV (the CPU has no OSXSAVE), run the module's own entry point into the
// kernel without an illegal instruction, and match the reference. Exits 0 when all holds.
#include <cstdio>
#include <string>

#include "tests/common/variant_check.h"
#include "transform/luminance_to_alpha.h"

int main() {
    const KernelVariant in_use = kernel_variant_in_use();
    std::printf("variant in use: %s\n", kernel_variant_name(in_use));
    if (in_use != KernelVariant::sse2 || this_cpu_runs(KernelVariant::avx2)) {
        std::printf("FAILED: expected SSE2 and no AVX2 on this CPU\n");
        return 1;
    }
    unsigned char pixels[] = {255, 0, 0,   9,   0,   255, 0,  9,   0,  0,
                              255, 9, 128, 128, 128, 9,   10, 200, 30, 0};
    luminance_to_alpha(pixels, 1, 5, sizeof pixels, 4, 8);
    const unsigned char want[] = {76, 76,  76,  179, 149, 149, 149, 106, 29,  29,
                                  29, 226, 128, 128, 128, 127, 123, 123, 123, 132};
    for (size_t i = 0; i < sizeof want; ++i) {
        if (pixels[i] != want[i]) {
            std::printf("FAILED: sample %zu is %d, want %d\n", i, pixels[i], want[i]);
            return 1;
        }
    }
    const std::string failure = compare_random_bands(rows_under_test(KernelVariant::sse2), 7u, 300);
    if (!failure.empty()) {
        std::printf("FAILED %s\n", failure.c_str());
        return 1;
    }
    std::printf("SSE2 rows equal to the reference on 300 random bands\n");
    return 0;
}
