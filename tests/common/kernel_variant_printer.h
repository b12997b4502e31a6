// How GoogleTest prints a kernel variant: by its name. Every test file that compares or
// prints a KernelVariant includes this, so that all of them print it alike.
#pragma once

#include <ostream>

#include "transform/kernel_variants.h"

inline void PrintTo(KernelVariant variant, std::ostream* out) {
    *out << kernel_variant_name(variant);
}
