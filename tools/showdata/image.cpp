#include "tools/showdata/image.h"

#include "tools/common/atomic_file.h"
#include "tools/common/png.h"

namespace showdata {

bool EncodePng(const RgbImage& image, std::vector<uint8_t>& png) {
  png.clear();
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3)
    return false;
  return tools::EncodePng(image.width, image.height, image.rgb.data(), png);
}

bool WritePng(const RgbImage& image, const std::string& path, std::string& error) {
  std::vector<uint8_t> png;
  if (!EncodePng(image, png)) {
    error = "cannot encode \"" + path + "\" as PNG";
    return false;
  }
  return tools::WriteFileAtomically(path, png, error);
}

}  // namespace showdata
