// PNG resources decoded into 0x00RRGGBB pixel words (the form of a kind-0 Cell).
#pragma once

#include <cstdint>
#include <span>

// Pixels a side: larger PNGs are refused before decoding (the show's largest
// image is 336 x 416).
constexpr uint32_t kMaxBitmapSide = 4096;

struct Bitmap {
  int32_t pixelCount;   // width x height
  uint32_t* pixels;     // row-major from the top row; owned (array delete)
  uint32_t width;       // pixels
  uint32_t height;      // rows

  // Fills this bitmap from the resource name. Always leaves a usable object:
  // when decoding fails it prints the failure and becomes 80 x 50, all zero.
  void Load(const char* name);

  // Decodes png into this bitmap, its pixels a new array (an earlier one is
  // the caller's to free). Returns null, or why the bytes were refused,
  // leaving the bitmap untouched: anything but a PNG whose chunks all end
  // inside the file, with an IHDR first, at least one IDAT and none empty, an
  // IEND, 1..kMaxBitmapSide pixels a side, and data that decodes. Never
  // prints and never ends the program; Load adds the line and the fallback.
  const char* DecodePng(std::span<const uint8_t> png);
};

// new Bitmap, loaded from name.
Bitmap* LoadBitmap(const char* name);
// Releases the pixel array, then the Bitmap. Null is ignored.
void ReleaseBitmap(Bitmap* bitmap);

// The 3D letter font "3dfont.png": 336 x 416, letters a..z stacked 16 pixels
// apart, 21 frames of 16 pixels side by side per letter.
struct LetterFont {
  Bitmap* bitmap;

  static LetterFont* Get();   // null until LoadLetterFont
};

LetterFont* LoadLetterFont();
// The pixel array, the Bitmap, then the holder.
void ReleaseLetterFont();
