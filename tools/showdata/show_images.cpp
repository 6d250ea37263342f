#include "tools/showdata/show_images.h"

#include <sys/stat.h>

namespace showdata {

namespace {

constexpr ShowImage kShowImages[] = {
    {"crud.png", MakeCrud},
    {"vignette.png", MakeVignette},
    {"3dfont.png", Make3dFont},
    {"textmodechars.png", MakeTextModeChars},
};

}  // namespace

std::span<const ShowImage> ShowImages() { return kShowImages; }

bool WriteShowImages(const std::string& dir, std::string& error) {
  struct stat st {};
  if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = "\"" + dir + "\" is not a directory";
    return false;
  }
  for (const ShowImage& entry : ShowImages()) {
    const std::string path = dir + "/" + entry.fileName;
    if (!WritePng(entry.generate(), path)) {
      error = "cannot write \"" + path + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace showdata
