// The PNG decoder on any bytes. A bitmap it returns must be what the header
// promises the rest of the engine: 1..kMaxBitmapSide pixels a side, a pixel
// array of width x height words, every word 0x00RRGGBB.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/resources/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bitmap bitmap{};
  if (bitmap.DecodePng({data, size}) != nullptr) return 0;
  if (bitmap.width < 1 || bitmap.width > kMaxBitmapSide || bitmap.height < 1 || bitmap.height > kMaxBitmapSide ||
      static_cast<uint64_t>(bitmap.pixelCount) != uint64_t{bitmap.width} * bitmap.height) {
    std::abort();
  }
  uint32_t high = 0;   // read every word: ASan checks the array's length
  for (int32_t i = 0; i < bitmap.pixelCount; ++i) high |= bitmap.pixels[i] & 0xFF000000u;
  if (high != 0) std::abort();
  delete[] bitmap.pixels;
  return 0;
}
