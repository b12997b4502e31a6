// The host's matting: before delivery a pixel's colour is composited over a matte colour
// (white, black or grey) using its alpha; after the plug-in wrote its output the matte is
// removed again (the arithmetic, shared with the module, is transform/matte.h).
#pragma once

#include <cstdint>

#include "host/sample_layout.h"
#include "transform/matte.h"

// How a filter case wants its pixels prepared, from the module's filter case table.
enum class Matte { none, black, grey, white };

// Host scale of one depth: 255 (8-bit), 32768 (16-bit); float samples use 1.0.
constexpr uint32_t kScale8 = 255;
constexpr uint32_t kScale16 = kHostScale16;

// Matte colour at a scale: black 0, grey half scale (rounded up), white full scale.
uint32_t matte_level(Matte matte, uint32_t scale);
float matte_level(Matte matte);
