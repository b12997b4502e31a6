// The benchmarks' band and in-place pass; see bench_band.h.
#include "tests/bench/bench_band.h"

#include <cstring>

#include "transform/kernel_variants.h"
#include "transform/samples.h"

BenchBand::BenchBand(int planes, int32_t depth, int64_t rows, int64_t columns)
    : row_bytes_(columns * planes * static_cast<int64_t>(sample_size_for_depth(depth))),
      rows_(rows), storage_(bytes() + 64) {
    const auto misalignment = reinterpret_cast<uintptr_t>(storage_.data()) % 64;
    data_ = storage_.data() + (misalignment == 0 ? 0 : 64 - misalignment);
    const size_t samples = bytes() / sample_size_for_depth(depth);
    for (size_t i = 0; i < samples; ++i) {
        const uint32_t spread = static_cast<uint32_t>(i) * 2654435761u;
        if (depth == 32)
            store_sample<float>(data_ + 4 * i, static_cast<float>(spread >> 8) * 0x1p-24f);
        else if (depth == 16)
            store_sample<uint16_t>(data_ + 2 * i, static_cast<uint16_t>((spread >> 8) % 32769));
        else
            data_[i] = static_cast<unsigned char>(spread >> 24);
    }
}

namespace {

// 64 bytes in a GCC vector: one register with AVX-512, two with AVX2, four with SSE2.
using Block = uint64_t __attribute__((vector_size(64)));
using Block16 = uint64_t __attribute__((vector_size(16)));

template <typename Block>
__attribute__((always_inline)) inline void invert(unsigned char* p, size_t bytes) {
    for (; bytes >= sizeof(Block); bytes -= sizeof(Block), p += sizeof(Block)) {
        Block block;
        std::memcpy(&block, p, sizeof block);
        block = ~block;
        std::memcpy(p, &block, sizeof block);
    }
    for (; bytes > 0; --bytes, ++p)
        *p = static_cast<unsigned char>(~*p);
}

__attribute__((target("avx512f"))) void invert_avx512(unsigned char* p, size_t bytes) {
    invert<Block>(p, bytes);
}

__attribute__((target("avx2"))) void invert_avx2(unsigned char* p, size_t bytes) {
    invert<Block>(p, bytes);
}

void invert_sse2(unsigned char* p, size_t bytes) {
    invert<Block16>(p, bytes);
}

} // namespace

void in_place_pass(unsigned char* p, size_t bytes) {
    static const auto pass = this_cpu_runs(KernelVariant::avx512) ? invert_avx512
                             : this_cpu_runs(KernelVariant::avx2) ? invert_avx2
                                                                  : invert_sse2;
    pass(p, bytes);
}

const char* in_place_pass_width() {
    return this_cpu_runs(KernelVariant::avx512) ? "64-byte (AVX-512)"
           : this_cpu_runs(KernelVariant::avx2) ? "32-byte (AVX2)"
                                                : "16-byte (SSE2)";
}

void in_place_pass_16(unsigned char* p, size_t bytes) {
    invert_sse2(p, bytes);
}
