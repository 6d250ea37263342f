#include <gtest/gtest.h>
#include <stb_image.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/core/text_mode_image.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string output;
};

// Runs demo_render in a fresh empty directory: the pack must come from the
// program image, not from files.
Result RunDemoRender(const std::string& args, const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string command = "cd '" + dir.string() + "' && '" DEMO_RENDER_PATH "' " + args + " 2>&1";
  Result r{-1, {}};
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, got);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

fs::path Scratch(const char* name) { return fs::current_path() / name; }

TEST(DemoRender, HelpAndBadArguments) {
  Result help = RunDemoRender("--help", Scratch("help"));
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("usage: demo_render"), std::string::npos);

  for (const char* bad : {"", "--time", "--time abc", "--time -5", "--time 10 --from 0 --to 5",
                          "--from 10 --to 5", "--from 0", "--bogus", "--from 0 --to 5 --step 0",
                          "--time 99999999999"}) {
    Result r = RunDemoRender(bad, Scratch("bad"));
    EXPECT_NE(r.status, 0) << bad;
    EXPECT_NE(r.output.find("demo_render: "), std::string::npos) << bad;
    EXPECT_TRUE(fs::is_empty(Scratch("bad"))) << bad;
  }
}

TEST(DemoRender, AfterTheShowEveryCellIsASpaceOnRed) {
  const fs::path dir = Scratch("after");
  Result r = RunDemoRender("--time 200001 --out end.png", dir);
  ASSERT_EQ(r.status, 0) << r.output;
  int w = 0, h = 0, n = 0;
  unsigned char* pixels = stbi_load((dir / "end.png").c_str(), &w, &h, &n, 3);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(w, kTextModeWidth);
  EXPECT_EQ(h, kTextModeHeight);
  int wrong = 0;
  for (int i = 0; i < w * h; ++i) {
    wrong += pixels[3 * i] != PaletteByte(4, 0) || pixels[3 * i + 1] != 0 || pixels[3 * i + 2] != 0;
  }
  EXPECT_EQ(wrong, 0);
  stbi_image_free(pixels);
}

TEST(DemoRender, SeriesWritesOneFilePerStep) {
  const fs::path dir = Scratch("series");
  fs::remove_all(dir);
  Result r = RunDemoRender("--from 187000 --to 189000 --step 500 --out .", dir);
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* name : {"frame_187000.png", "frame_187500.png", "frame_188000.png", "frame_188500.png",
                           "frame_189000.png"}) {
    EXPECT_TRUE(fs::exists(dir / name)) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "frame_189500.png"));
}

TEST(DemoRender, AnsiFrameHasFiftyRowsOfEightyGlyphs) {
  Result r = RunDemoRender("--time 200001 --ansi16", Scratch("ansi"));
  ASSERT_EQ(r.status, 0);
  int rows = 0;
  size_t start = 0;
  for (size_t nl; (nl = r.output.find('\n', start)) != std::string::npos; start = nl + 1) {
    const std::string row = r.output.substr(start, nl - start);
    // Dark red background (ANSI red 41), bright red foreground (91), 80 spaces.
    EXPECT_EQ(row, "\x1b[91;41m" + std::string(80, ' ') + "\x1b[0m") << rows;
    ++rows;
  }
  EXPECT_EQ(rows, 50);
}

}  // namespace
