#include "tools/showdata/show_meshes.h"

namespace showdata {

namespace {

constexpr ShowMesh kShowMeshes[] = {
    {"pineapple3.ase.bin", MakeSkullMesh},
    {"box.ase.bin", MakeBoxMesh},
};

}  // namespace

std::span<const ShowMesh> ShowMeshes() { return kShowMeshes; }

bool WriteShowMeshes(const std::string& dir, std::string& error) {
  for (const ShowMesh& entry : ShowMeshes()) {
    const std::string path = dir + "/" + entry.fileName;
    if (!WriteMeshFile(entry.generate(), path)) {
      error = "cannot write \"" + path + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace showdata
