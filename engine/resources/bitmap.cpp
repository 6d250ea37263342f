#include "engine/resources/bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/resources/resource_table.h"

namespace {

// Bytes that stb_image may hold in one block while it decodes the current
// PNG, set from the image's header; a request beyond it fails the decode as
// out of memory. Keeps a deflate stream that unpacks to far more than its
// rows need from growing its output buffer to gigabytes.
thread_local size_t gPngBlockLimit = 0;
thread_local bool gPngBlockRefused = false;

void* PngMalloc(size_t bytes) {
  if (bytes > gPngBlockLimit) {
    gPngBlockRefused = true;
    return nullptr;
  }
  return std::malloc(bytes);
}

void* PngRealloc(void* block, size_t bytes) {
  if (bytes > gPngBlockLimit) {
    gPngBlockRefused = true;
    return nullptr;
  }
  return std::realloc(block, bytes);
}

}  // namespace

// stb_image's PNG decoder alone, private to this file: no other format's code
// is in the program, and the decoder allocates through the limit above.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_MALLOC(bytes) PngMalloc(bytes)
#define STBI_REALLOC(block, bytes) PngRealloc(block, bytes)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>

namespace {

// The screen's size: owners that read one pixel per cell stay inside a
// bitmap that failed to decode.
constexpr uint32_t kFallbackWidth = 80;
constexpr uint32_t kFallbackHeight = 50;

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kPngChunkFrameBytes = 12;   // length, type, CRC
constexpr uint32_t kPngIhdrBytes = 13;

LetterFont* gLetterFont = nullptr;

uint32_t ReadU32BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

bool IsChunk(const uint8_t* chunk, const char (&type)[5]) { return std::memcmp(chunk + 4, type, 4) == 0; }

// What stb_image does not check, over the whole file before it reads a byte:
// the signature; chunks that each end inside the file, IHDR first, no empty
// IDAT, at least one IDAT, and an IEND; a side of at most kMaxBitmapSide.
// Null when the file passes, with the header's width and height.
const char* CheckPngChunks(std::span<const uint8_t> png, uint32_t& width, uint32_t& height) {
  if (png.size() < sizeof kPngSignature || std::memcmp(png.data(), kPngSignature, sizeof kPngSignature) != 0) {
    return "not a PNG file";
  }
  bool sawData = false;
  for (size_t at = sizeof kPngSignature; at < png.size();) {
    const uint8_t* chunk = png.data() + at;
    const size_t room = png.size() - at;
    if (room < kPngChunkFrameBytes || ReadU32BigEndian(chunk) > room - kPngChunkFrameBytes) {
      return "PNG chunk runs past the end of the file";
    }
    const uint32_t length = ReadU32BigEndian(chunk);
    if (at == sizeof kPngSignature) {
      if (!IsChunk(chunk, "IHDR") || length != kPngIhdrBytes) return "PNG does not start with a 13-byte IHDR";
      width = ReadU32BigEndian(chunk + 8);
      height = ReadU32BigEndian(chunk + 12);
      if (width == 0 || height == 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
        return "PNG image size outside 1..4096 pixels a side";   // kMaxBitmapSide
      }
    } else if (IsChunk(chunk, "IDAT")) {
      if (length == 0) return "empty PNG IDAT chunk";
      sawData = true;
    } else if (IsChunk(chunk, "IEND")) {
      return sawData ? nullptr : "PNG without IDAT chunk";
    }
    at += kPngChunkFrameBytes + length;
  }
  return "PNG without IEND chunk";
}

}  // namespace

const char* Bitmap::DecodePng(std::span<const uint8_t> png) {
  uint32_t pngWidth = 0;
  uint32_t pngHeight = 0;
  if (const char* refusal = CheckPngChunks(png, pngWidth, pngHeight)) return refusal;
  if (png.size() > INT32_MAX) return "PNG file too large to decode";

  // The largest block a header of this size needs: 16-bit RGBA rows, each
  // with its filter byte, the packed IDAT data at most twice over, and
  // stb_image's first 4 KiB of it.
  gPngBlockLimit = size_t{pngHeight} * (size_t{pngWidth} * 8 + 1) + 2 * png.size() + 4096;
  gPngBlockRefused = false;
  int decodedWidth = 0;
  int decodedHeight = 0;
  int channelsInFile = 0;
  stbi_uc* rgb = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &decodedWidth, &decodedHeight,
                                       &channelsInFile, 3);
  if (rgb == nullptr) {
    if (gPngBlockRefused) return "PNG data unpacks to more than its header allows";
    const char* reason = stbi_failure_reason();
    return reason != nullptr ? reason : "PNG decoding failed";
  }

  width = static_cast<uint32_t>(decodedWidth);
  height = static_cast<uint32_t>(decodedHeight);
  pixelCount = decodedWidth * decodedHeight;   // at most 4096 x 4096
  pixels = new uint32_t[pixelCount];
  const stbi_uc* sample = rgb;
  for (int32_t i = 0; i < pixelCount; ++i) {
    pixels[i] = (uint32_t{sample[0]} << 16) | (uint32_t{sample[1]} << 8) | uint32_t{sample[2]};
    sample += 3;
  }
  stbi_image_free(rgb);
  return nullptr;
}

void Bitmap::Load(const char* name) {
  const ResourceEntry& row = ResourceTable::Instance()->Get(name);
  const char* refusal = DecodePng({row.data, row.size});
  if (refusal == nullptr) return;

  std::printf("bitmap loading failed! %s (%s)\n", name, refusal);
  std::fflush(stdout);
  width = kFallbackWidth;
  height = kFallbackHeight;
  pixelCount = static_cast<int32_t>(width * height);
  pixels = new uint32_t[pixelCount]();  // all zero
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
