// make_show_data as the build runs it: arguments, exit codes, the files it
// writes (sizes, the pixels the show decodes, bytes identical on every run).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/resources/bitmap.h"
#include "tests/support/run_tool.h"
#include "tools/showdata/show_images.h"
#include "tools/showdata/show_meshes.h"

namespace {

namespace fs = std::filesystem;

TEST(MakeShowDataTool, WritesEveryFileAtItsSizeTheSameOnEachRun) {
  // The sizes the engine's readers are written for.
  const std::map<std::string, std::pair<uint32_t, uint32_t>> sizes = {
      {"crud.png", {80, 50}}, {"vignette.png", {80, 50}}, {"3dfont.png", {336, 416}}, {"textmodechars.png", {256, 256}},
      {"tunnel.png", {256, 256}}, {"pelkora.png", {80, 50}}, {"qx3.png", {80, 50}}, {"tovrik.png", {80, 50}},
      {"sambral.png", {80, 50}}, {"wobbly.png", {256, 256}}, {"wobbly2.png", {256, 256}}, {"uvtwist.png", {75, 239}},
      {"twisttex.png", {256, 256}}, {"twisttex2.png", {256, 256}}, {"env_red.png", {256, 256}},
      {"env_red2.png", {256, 256}}, {"env_red3.png", {256, 256}}};
  fs::create_directories("a"), fs::create_directories("b");
  std::ofstream("a/crud.png") << "stale";  // an earlier run's file is replaced
  const RunResult first = RunProgram(MAKE_SHOW_DATA_PATH, "--out a", "run_a");
  const RunResult second = RunProgram(MAKE_SHOW_DATA_PATH, "--out b", "run_b");
  ASSERT_TRUE(first.exitCode == 0 && second.exitCode == 0) << first.err << second.err;
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(showdata::ShowImages().size(), sizes.size());
  for (const showdata::ShowImage& entry : showdata::ShowImages()) {
    SCOPED_TRACE(entry.fileName);
    // Decoded as the show decodes it, it is what the generator makes.
    const std::string png = ReadText(fs::path("a") / entry.fileName);
    Bitmap bitmap{};
    ASSERT_EQ(bitmap.DecodePng({reinterpret_cast<const uint8_t*>(png.data()), png.size()}), nullptr);
    EXPECT_EQ(std::pair(bitmap.width, bitmap.height), sizes.at(entry.fileName));
    std::vector<uint8_t> rgb;
    for (int i = 0; i < bitmap.pixelCount; ++i) {
      rgb.insert(rgb.end(), {uint8_t(bitmap.pixels[i] >> 16), uint8_t(bitmap.pixels[i] >> 8), uint8_t(bitmap.pixels[i])});
    }
    delete[] bitmap.pixels;
    EXPECT_TRUE(rgb == entry.generate().rgb);
  }
  // Every file, meshes included, is the same bytes on the second run.
  int files = 0;
  for (const fs::directory_entry& f : fs::directory_iterator("a")) {
    SCOPED_TRACE(f.path().string());
    ++files;
    const std::string bytes = ReadText(f.path());
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == ReadText(fs::path("b") / f.path().filename()));
  }
  EXPECT_EQ(files, static_cast<int>(sizes.size() + showdata::ShowMeshes().size()));  // no ".part" left over
}

// Help succeeds; bad arguments exit with 2, unwritable output with 1, each
// with one line that names the culprit, and neither leaves files behind. An
// image that is a device (the case's own nodes: a null one before the
// blocked mesh, a full one in dev_full) is written in place and stays one.
TEST(MakeShowDataTool, HelpBadArgumentsAndUnwritableOutput) {
  fs::create_directories("out");
  std::ofstream("not_a_dir") << "x";
  // A file's name taken by a directory: writing fails even as root, where
  // permission bits would not stop it. One image, one mesh.
  fs::create_directories("image_blocked/3dfont.png");
  fs::create_directories("mesh_blocked/box.ase.bin");
  fs::create_directories("dev_full");
  const bool nodes = MakeMemoryDevice("mesh_blocked/crud.png", 3) && MakeMemoryDevice("dev_full/crud.png", 7);
  const std::tuple<const char*, int, const char*> cases[] = {
      {"--help", 0, "--out DIR"}, {"-h", 0, "--out DIR"},
      {"", 2, "--out"}, {"--out", 2, "--out"}, {"--out ''", 2, "--out"}, {"--frobnicate", 2, "--frobnicate"},
      {"--out out extra", 2, "extra"}, {"--out out --out out", 2, "twice"},
      {"--out no_such_dir/below", 1, "no_such_dir/below"}, {"--out not_a_dir", 1, "not_a_dir"},
      {"--out image_blocked", 1, "image_blocked/3dfont.png\": Is a directory"},
      {"--out mesh_blocked", 1, "mesh_blocked/box.ase.bin\": Is a directory"},
      {"--out dev_full", 1, "dev_full/crud.png\": No space left on device"},
  };
  for (const auto& [args, code, mentions] : cases) {
    SCOPED_TRACE(args);
    if (!nodes && std::string(args).find("dev_") != std::string::npos) continue;
    const RunResult r = RunProgram(MAKE_SHOW_DATA_PATH, args, "run");
    EXPECT_EQ(r.exitCode, code);
    EXPECT_NE((code == 0 ? r.out : r.err).find(mentions), std::string::npos) << r.out << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), code == 0 ? 0 : 1) << r.err;
  }
  EXPECT_TRUE(fs::is_empty("out"));
  for (const fs::directory_entry& f : fs::recursive_directory_iterator(".")) EXPECT_NE(f.path().extension(), ".part");
  if (!nodes) GTEST_SKIP() << "device nodes cannot be made here: images that are devices untested";
  EXPECT_TRUE(fs::is_character_file("mesh_blocked/crud.png") && fs::is_character_file("dev_full/crud.png"));
}

}  // namespace
