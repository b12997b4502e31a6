// PNG's numbers, and zlib's checksum trailer, are 32-bit big-endian.
#pragma once

#include <cstdint>

inline uint32_t read_big_endian32(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

inline void put_big_endian32(uint8_t* to, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
