#include "tools/showdata/show_images.h"

#include <sys/stat.h>

#include "tools/showdata/env_maps.h"
#include "tools/showdata/show_meshes.h"
#include "tools/showdata/tunnel_images.h"

namespace showdata {

namespace {

constexpr ShowImage kShowImages[] = {
    {"crud.png", MakeCrud},
    {"vignette.png", MakeVignette},
    {"3dfont.png", Make3dFont},
    {"textmodechars.png", MakeTextModeChars},
    {"tunnel.png", MakeTunnelTexture},
    {"pelkora.png", MakeCreditPelkora},
    {"qx3.png", MakeCreditQx3},
    {"tovrik.png", MakeCreditTovrik},
    {"sambral.png", MakeCreditSambral},
    {"wobbly.png", MakeWobbly},
    {"wobbly2.png", MakeWobbly2},
    {"uvtwist.png", MakeUvTwist},
    {"twisttex.png", MakeTwistTexture},
    {"twisttex2.png", MakeTwistTexture2},
    {"env_red.png", MakeEnvRed},
    {"env_red2.png", MakeEnvRed2},
    {"env_red3.png", MakeEnvRed3},
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
    if (!WritePng(entry.generate(), dir + "/" + entry.fileName, error)) return false;
  }
  // The meshes go beside the images, into the same pack.
  return WriteShowMeshes(dir, error);
}

}  // namespace showdata
