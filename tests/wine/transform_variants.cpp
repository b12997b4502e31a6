// The kernel's variants as the Windows build compiles them, against the reference, under
// Wine: random bands of every shape, all 2^24 RGB triples and every grey, for each variant
// this CPU runs. With "in-use NAME" it only checks that the variant in use is NAME (run with
// BRIGHTFADE_KERNEL set, it shows that the module's way of reading it works under Windows).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/common/variant_check.h"

namespace {

int check_variant(KernelVariant variant) {
    const auto start = std::chrono::steady_clock::now();
    const RowsUnderTest tested = rows_under_test(variant);
    const uint32_t random_start = 20260611u;
    std::string failure = compare_random_bands(tested, random_start, 3000);
    if (failure.empty()) failure = compare_all_rgb_triples(tested);
    if (failure.empty()) failure = compare_all_greys(tested);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!failure.empty()) {
        std::printf("FAILED %s\n", failure.c_str());
        return 1;
    }
    std::printf(
        "%s: equal to the reference (3000 random bands, random start %u; all 2^24 RGB triples; "
        "every grey) in %.1f s\n",
        tested.name, random_start, took.count());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "in-use") == 0) {
        const char* in_use = kernel_variant_name(kernel_variant_in_use());
        std::printf("variant in use: %s\n", in_use);
        return std::strcmp(in_use, argv[2]) == 0 ? 0 : 1;
    }
    int failures = 0;
    for (const KernelVariant variant : kAllKernelVariants) {
        if (variant == KernelVariant::reference) continue;
        if (!this_cpu_runs(variant)) {
            std::printf("%s: skipped, this CPU does not run it\n", kernel_variant_name(variant));
            continue;
        }
        failures += check_variant(variant);
    }
    return failures == 0 ? 0 : 1;
}
