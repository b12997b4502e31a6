// Speed of the luminance-to-alpha kernel on one band-sized buffer, next to a plain copy of the
// same buffer (the least any pass over it costs). Run: build/native/tests/bench/transform_benchmark
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "transform/luminance_to_alpha.h"

namespace {

constexpr int64_t kColumns = 4096;
constexpr int64_t kRows = 8;

template <typename T> std::vector<T> test_band() {
    std::vector<T> band(size_t(kColumns * kRows * 4));
    for (size_t i = 0; i < band.size(); ++i)
        band[i] = T((i * 2654435761u) % 200);
    return band;
}

template <typename T> void transform(benchmark::State& state, int32_t depth) {
    const auto original = test_band<T>();
    auto band = original;
    for (auto _ : state) {
        std::memcpy(band.data(), original.data(), band.size() * sizeof(T));
        luminance_to_alpha(band.data(), kRows, kColumns, kColumns * 4 * sizeof(T), 4, depth);
        benchmark::DoNotOptimize(band.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(band.size() * sizeof(T)));
}

template <typename T> void copy_only(benchmark::State& state) {
    const auto original = test_band<T>();
    auto band = original;
    for (auto _ : state) {
        std::memcpy(band.data(), original.data(), band.size() * sizeof(T));
        benchmark::DoNotOptimize(band.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(band.size() * sizeof(T)));
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
