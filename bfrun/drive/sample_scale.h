// Conversions between the samples of a PNG file and the host's scales: 8-bit files keep
// 0..255; 16-bit files map 0..65535 onto 0..32768 and back, rounding to nearest; float layers
// run 0.0..1.0.
#pragma once

#include <cstdint>

uint16_t png16_to_host(uint16_t sample);
// Values above 32768 are written as 65535.
uint16_t host_to_png16(uint16_t sample);

// A file sample (bits 8 or 16) as a float sample, and back with clamping and rounding.
float png_to_float(uint32_t sample, int bits);
uint32_t float_to_png(float sample, int bits);
