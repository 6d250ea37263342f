#include "engine/resources/bitmap.h"

#include <stb_image.h>

#include <climits>
#include <cstdio>

#include "engine/resources/resource_table.h"

namespace {

// The screen's size: owners that read one pixel per cell stay inside a
// bitmap that failed to decode.
constexpr uint32_t kFallbackWidth = 80;
constexpr uint32_t kFallbackHeight = 50;

LetterFont* gLetterFont = nullptr;

}  // namespace

void Bitmap::Load(const char* name) {
  ResourceEntry& row = ResourceTable::Instance()->Get(name);

  int decodedWidth = 0;
  int decodedHeight = 0;
  int channelsInFile = 0;
  stbi_uc* decoded = nullptr;
  const char* reason = nullptr;
  if (row.size > static_cast<uint32_t>(INT_MAX)) {
    reason = "resource too large to decode";
  } else {
    decoded = stbi_load_from_memory(row.data, static_cast<int>(row.size), &decodedWidth, &decodedHeight,
                                    &channelsInFile, 3);
    if (decoded == nullptr) {
      reason = stbi_failure_reason();
    } else if (decodedWidth <= 0 || decodedHeight <= 0 ||
               int64_t{decodedWidth} * decodedHeight > int64_t{INT32_MAX}) {
      // pixelCount is a signed 32-bit count.
      stbi_image_free(decoded);
      decoded = nullptr;
      reason = "image too large";
    }
  }

  if (decoded == nullptr) {
    std::printf("bitmap loading failed! %s (%s)\n", name, reason != nullptr ? reason : "unknown reason");
    std::fflush(stdout);
    width = kFallbackWidth;
    height = kFallbackHeight;
    pixelCount = static_cast<int32_t>(width * height);
    pixels = new uint32_t[pixelCount]();  // all zero
    return;
  }

  width = static_cast<uint32_t>(decodedWidth);
  height = static_cast<uint32_t>(decodedHeight);
  pixelCount = decodedWidth * decodedHeight;
  pixels = new uint32_t[pixelCount];
  const stbi_uc* rgb = decoded;
  for (int32_t i = 0; i < pixelCount; ++i) {
    pixels[i] = (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | uint32_t{rgb[2]};
    rgb += 3;
  }
  stbi_image_free(decoded);
}

Bitmap* LoadBitmap(const char* name) {
  auto* bitmap = new Bitmap;
  bitmap->Load(name);
  return bitmap;
}

void ReleaseBitmap(Bitmap* bitmap) {
  if (bitmap == nullptr) return;
  delete[] bitmap->pixels;
  delete bitmap;
}

LetterFont* LetterFont::Get() { return gLetterFont; }

LetterFont* LoadLetterFont() {
  if (gLetterFont == nullptr) {
    gLetterFont = new LetterFont;
    gLetterFont->bitmap = LoadBitmap("3dfont.png");
  }
  return gLetterFont;
}

void ReleaseLetterFont() {
  if (gLetterFont == nullptr) return;
  ReleaseBitmap(gLetterFont->bitmap);
  delete gLetterFont;
  gLetterFont = nullptr;
}
