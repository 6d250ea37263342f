// fuzz_seeds DIR: the seeds of fuzz_mesh and fuzz_mp3 that the show's files
// are too large to be, made by the show's own generators:
//   DIR/mesh/<mesh>_few.ase.bin  a few faces of each show mesh, the first six
//       of each mapping with only the vertices and texture coordinates they
//       name, so that mutations reach the indices and corners
//   DIR/mp3/show_<rate>k.mp3  a stretch of the show's track encoded as the
//       build encodes the whole of it (44.1 kHz stereo CBR, the LAME tag in
//       front), at the show's 192 kbit/s and at 64 kbit/s, whose 208-byte
//       frames (the smallest that still hold the tag) put many frames into a
//       few kilobytes
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tools/common/atomic_file.h"
#include "tools/music/dsp.h"
#include "tools/music/mp3_encoder.h"
#include "tools/music/track.h"
#include "tools/showdata/show_meshes.h"

namespace {

constexpr int kFacesPerMapping = 6;

// The first count faces of each mapping, renumbered into a mesh of their own.
showdata::MeshFile FewFaces(const showdata::MeshFile& mesh, int count) {
  showdata::MeshFile few;
  std::map<int32_t, int32_t> vertexIndex, uvIndex;   // show mesh's index -> few's
  int taken[2] = {0, 0};                               // coordinate-mapped, environment-mapped
  for (const showdata::MeshFileFace& face : mesh.faces) {
    const bool environment = face.mapping == showdata::kMeshMapEnvironment;
    if (taken[environment] == count) continue;
    ++taken[environment];
    showdata::MeshFileFace copy = face;
    for (int k = 0; k < 3; ++k) {
      const auto vertex = vertexIndex.try_emplace(face.corner[k], static_cast<int32_t>(few.vertices.size()));
      if (vertex.second) few.vertices.push_back(mesh.vertices[face.corner[k]]);
      copy.corner[k] = vertex.first->second;
      if (environment) continue;
      const auto uv = uvIndex.try_emplace(face.uv[k], static_cast<int32_t>(few.uvs.size()));
      if (uv.second) few.uvs.push_back(mesh.uvs[face.uv[k]]);
      copy.uv[k] = uv.first->second;
    }
    few.faces.push_back(copy);
  }
  return few;
}

struct Mp3Seed {
  const char* name;
  int bitrateKbps;
  double seconds;   // of music, from 1 s into the track
};

constexpr Mp3Seed kMp3Seeds[] = {
    {"show_192k.mp3", 192, 0.25},
    {"show_64k.mp3", 64, 0.5},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::string error;
  for (const showdata::ShowMesh& mesh : showdata::ShowMeshes()) {
    std::string name = mesh.fileName;
    name.resize(name.find('.'));
    if (!showdata::WriteMeshFile(FewFaces(mesh.generate(), kFacesPerMapping), dir + "/mesh/" + name + "_few.ase.bin",
                                 error)) {
      std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
      return 1;
    }
  }
  for (const Mp3Seed& seed : kMp3Seeds) {
    const auto frames = static_cast<int64_t>(seed.seconds * music::kSampleRate);
    const std::vector<float> pcm = music::RenderShowFrames(music::kSampleRate, frames);
    music::Mp3Encoder encoder;
    std::vector<uint8_t> file;
    if (!encoder.Open(seed.bitrateKbps, error) || !encoder.Encode(pcm.data(), frames, error) ||
        !encoder.Finish(file, error) || !tools::WriteFileAtomically(dir + "/mp3/" + seed.name, file, error)) {
      std::fprintf(stderr, "fuzz_seeds: %s: %s\n", seed.name, error.c_str());
      return 1;
    }
  }
  return 0;
}
