#pragma once
// An 8-bit RGB raster as the show's PNG files store it, and its PNG writer.

#include <cstdint>
#include <string>
#include <vector>

namespace showdata {

struct RgbImage {
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::vector<uint8_t> rgb;  // width * height * 3 bytes, row-major, R G B

  RgbImage() = default;
  // All pixels black.
  RgbImage(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}

  // Sets pixel (x, y) to grey v (r = g = b = v); outside the image does nothing.
  void SetGrey(int x, int y, uint8_t v) { SetRgb(x, y, v, v, v); }
  void SetRgb(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  }
  // Blue component of pixel (x, y), the byte the show's readers use; 0 outside.
  uint8_t Blue(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return rgb[(static_cast<size_t>(y) * width + x) * 3 + 2];
  }
};

// Encodes the image as a PNG (always the same bytes for the same pixels).
// Returns false if encoding fails.
bool EncodePng(const RgbImage& image, std::vector<uint8_t>& png);

// Writes the PNG file at path through tools::AtomicFile. Returns false on any
// failure to encode or write, with a one-line reason in error.
bool WritePng(const RgbImage& image, const std::string& path, std::string& error);

}  // namespace showdata
