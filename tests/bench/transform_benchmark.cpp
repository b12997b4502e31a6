// Speed of the luminance-to-alpha kernel on one band-sized buffer, next to a plain copy of the
// same buffer (the least any pass over it costs). Run: build/native/tests/bench/transform_benchmark
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "transform/luminance_to_alpha.h"

namespace {

constexpr int64_t kColumns = 4096;
constexpr int64_t kRows = 8;

// The source band and the working band in one allocation, half a page apart: a copy whose
// source and destination sit at nearly the same offset within a page stalls on 4K aliasing,
// which would measure the allocator rather than the kernel.
template <typename T> struct Bands {
    static constexpr size_t kSamples = size_t(kColumns * kRows * 4);
    std::vector<T> storage = std::vector<T>(2 * kSamples + 4096 / sizeof(T));
    T* original = storage.data();
    T* band = storage.data() + kSamples + 2048 / sizeof(T);
    Bands() {
        for (size_t i = 0; i < kSamples; ++i)
            original[i] = T((i * 2654435761u) % 200);
    }
    void restore() { std::memcpy(band, original, kSamples * sizeof(T)); }
};

template <typename T> void transform(benchmark::State& state, int32_t depth) {
    Bands<T> bands;
    for (auto _ : state) {
        bands.restore();
        luminance_to_alpha(bands.band, kRows, kColumns, kColumns * 4 * sizeof(T), 4, depth);
        benchmark::DoNotOptimize(bands.band);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Bands<T>::kSamples * sizeof(T)));
}

template <typename T> void copy_only(benchmark::State& state) {
    Bands<T> bands;
    for (auto _ : state) {
        bands.restore();
        benchmark::DoNotOptimize(bands.band);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Bands<T>::kSamples * sizeof(T)));
}

void Transform8(benchmark::State& s) {
    transform<uint8_t>(s, 8);
}
void Transform16(benchmark::State& s) {
    transform<uint16_t>(s, 16);
}
void Transform32(benchmark::State& s) {
    transform<float>(s, 32);
}
void Copy8(benchmark::State& s) {
    copy_only<uint8_t>(s);
}
void Copy16(benchmark::State& s) {
    copy_only<uint16_t>(s);
}
void Copy32(benchmark::State& s) {
    copy_only<float>(s);
}

} // namespace

BENCHMARK(Copy8);
BENCHMARK(Transform8);
BENCHMARK(Copy16);
BENCHMARK(Transform16);
BENCHMARK(Copy32);
BENCHMARK(Transform32);
BENCHMARK_MAIN();
