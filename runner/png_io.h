// PNG files in memory, through the stb image reader and writer. 16-bit files are written with
// stb's deflate in the three chunks a PNG needs, since stb's writer only knows 8-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runner/layer.h"

// Width and height from the PNG header, without decoding. False if this is not a PNG.
bool png_dimensions(const std::vector<uint8_t>& file, uint32_t& width, uint32_t& height);

// Decodes a PNG of any colour type (palettes expanded) at its own bit depth (8 or 16).
// On failure returns false and a one-line reason.
bool decode_png(const std::vector<uint8_t>& file, PngImage& image, std::string& error);

// Encodes grey, grey + alpha, RGB or RGBA at 8 or 16 bits.
bool encode_png(const PngImage& image, std::vector<uint8_t>& file);
