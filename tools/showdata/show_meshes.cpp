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
    if (!WriteMeshFile(entry.generate(), dir + "/" + entry.fileName, error)) return false;
  }
  return true;
}

}  // namespace showdata
