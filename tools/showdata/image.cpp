#include "tools/showdata/image.h"

#include <cstdio>

#include <stb_image_write.h>

#include "tools/common/atomic_file.h"

namespace showdata {

namespace {

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool EncodePng(const RgbImage& image, std::vector<uint8_t>& png) {
  png.clear();
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3)
    return false;
  const int ok = stbi_write_png_to_func(AppendBytes, &png, image.width, image.height, 3,
                                        image.rgb.data(), image.width * 3);
  return ok != 0 && !png.empty();
}

bool WritePng(const RgbImage& image, const std::string& path) {
  std::vector<uint8_t> png;
  if (!EncodePng(image, png)) return false;
  return tools::WriteFileAtomically(path, png);
}

}  // namespace showdata
