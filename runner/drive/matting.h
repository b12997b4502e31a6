// The host's matting: before delivery a pixel's colour is composited over a matte colour
// (white, black or grey) using its alpha; after the plug-in wrote its output the matte is
// removed again. Alpha itself is never changed. Integer depths round to nearest (halves up).
#pragma once

#include <cstdint>

#include "protocol/sample_layout.h"

// How a filter case wants its pixels prepared, from the module's filter case table.
enum class Matte { none, black, grey, white };

// Host scale of one depth: 255 (8-bit), 32768 (16-bit); float samples use 1.0.
constexpr uint32_t kScale8 = 255;
constexpr uint32_t kScale16 = kHostScale16;

// Matte colour at a scale: black 0, grey half scale (rounded up), white full scale.
uint32_t matte_level(Matte matte, uint32_t scale);
float matte_level(Matte matte);

// colour x alpha + matte x (1 - alpha), on an integer scale. Alpha above scale counts as scale.
uint32_t apply_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale);
// (colour - matte x (1 - alpha)) / alpha, clamped to 0..scale; 0 where alpha is 0.
uint32_t remove_matte(uint32_t colour, uint32_t alpha, uint32_t matte, uint32_t scale);

// The same on float samples, scale 1.0; NaN results become 0.
float apply_matte(float colour, float alpha, float matte);
float remove_matte(float colour, float alpha, float matte);
