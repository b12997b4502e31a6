// How the host lays out one sample, shared by the kernel, the module's band adapter and bfrun:
// its size for a host depth, and loads and stores at any address (a host may hand over rows
// that are not aligned to the sample size).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Bytes per sample for a host depth: 32 is float, 16 is 16-bit, anything else 8-bit.
constexpr size_t sample_size_for_depth(int32_t depth) {
    return depth == 32 ? 4 : depth == 16 ? 2 : 1;
}

// Full scale of the integer depths: 8-bit samples run 0..255, the host's 16-bit ones 0..32768.
constexpr uint32_t kSampleScale8 = 255;
constexpr uint32_t kSampleScale16 = 32768;

template <typename T> inline T load_sample(const void* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T> inline void store_sample(void* at, T value) {
    std::memcpy(at, &value, sizeof value);
}
