#include "tools/common/png.h"

#include <stb_image_write.h>

namespace tools {

namespace {

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool EncodePng(int width, int height, const uint8_t* rgb, std::vector<uint8_t>& png) {
  png.clear();
  return stbi_write_png_to_func(AppendBytes, &png, width, height, 3, rgb, width * 3) != 0 && !png.empty();
}

}  // namespace tools
