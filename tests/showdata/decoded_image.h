#pragma once
// Test helper: a PNG decoded the way the show decodes it (stb_image, three
// 8-bit components per pixel).

#include <cstdint>
#include <string>
#include <vector>

#include <stb_image.h>

#include "tools/showdata/image.h"

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // empty if decoding failed

  uint8_t Blue(int x, int y) const { return rgb[(static_cast<size_t>(y) * width + x) * 3 + 2]; }
  const uint8_t* Pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

inline DecodedImage DecodePng(const std::vector<uint8_t>& png) {
  DecodedImage out;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &out.width,
                                          &out.height, &channels, 3);
  if (!pixels) return out;
  out.rgb.assign(pixels, pixels + static_cast<size_t>(out.width) * out.height * 3);
  stbi_image_free(pixels);
  return out;
}

// Encodes a generated image and decodes it again, as the show will see it.
inline DecodedImage RoundTrip(const showdata::RgbImage& image) {
  std::vector<uint8_t> png;
  if (!showdata::EncodePng(image, png)) return {};
  return DecodePng(png);
}
