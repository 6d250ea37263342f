// PNG encoding of the tools' images: 8-bit RGB, always the same bytes for the
// same pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace tools {

// Encodes width x height pixels (rows of width * 3 bytes, R G B, top row
// first) into png. Returns false if encoding fails.
bool EncodePng(int width, int height, const uint8_t* rgb, std::vector<uint8_t>& png);

}  // namespace tools
