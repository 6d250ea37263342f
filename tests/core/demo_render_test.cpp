// demo_render run as a program from the case's empty directory: the pack
// must come from the program image, not from files.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>

#include "tests/support/run_tool.h"

namespace {

namespace fs = std::filesystem;

RunResult DemoRender(const std::string& args) { return RunProgram(DEMO_RENDER_PATH, args, "run"); }
long FilesHere() { return std::distance(fs::directory_iterator("."), fs::directory_iterator()); }

TEST(DemoRender, HelpAndBadArguments) {
  const RunResult help = DemoRender("--help");
  EXPECT_TRUE(help.exitCode == 0 && help.out.find("usage: demo_render") == 0) << help.exitCode << help.out;
  for (const char* bad : {"", "--time", "--time abc", "--time -5", "--time 10 --from 0 --to 5", "--from 10 --to 5",
                          "--from 0", "--bogus", "--out", "--from 0 --to 5 --step 0", "--time 99999999999",
                          "--time 5 --out missing/frame.png"}) {
    RunResult r = DemoRender(bad);
    EXPECT_NE(r.exitCode, 0) << bad;
    EXPECT_NE(r.err.find("demo_render: "), std::string::npos) << bad;
    EXPECT_EQ(FilesHere(), 2) << bad;   // nothing written but the captured output
  }
}

// A series past the end, one PNG per step, then the same frame as ANSI text:
// every cell a space on red. (The pixels of demo_render's PNGs are checked
// against OpenGL's in tests/gl, whose drawing is checked against the palette.)
TEST(DemoRender, ASeriesPastTheShowAndItsAnsiText) {
  ASSERT_EQ(DemoRender("--from 200001 --to 201001 --step 500 --out .").exitCode, 0);
  for (const char* name : {"frame_200001.png", "frame_200501.png", "frame_201001.png"}) EXPECT_TRUE(fs::exists(name));
  EXPECT_EQ(FilesHere(), 5);
  RunResult ansi = DemoRender("--time 200001 --ansi16");   // bright red (91) on dark red (41)
  std::string rows;
  for (int row = 0; row < 50; ++row) rows += "\x1b[91;41m" + std::string(80, ' ') + "\x1b[0m\n";
  EXPECT_EQ(ansi.out, rows);
}

// Output that cannot be written (a full disk, a directory) fails the run with
// one line naming it; a device, or a link to one, is written in place and
// stays a device. The "dev_" outputs are the scratch directory's own nodes.
TEST(DemoRender, LostOutputFailsAndDevicesAreWrittenInPlace) {
  const bool nodes = MakeMemoryDevice("dev_null", 3) && MakeMemoryDevice("dev_full", 7);
  fs::create_symlink("dev_full", "dev_link"), fs::create_directory("dir");
  const std::string noSpace = "No space left on device\n";
  const std::tuple<std::string, int, std::string> cases[] = {
      {"--help >/dev/full", 1, "cannot write standard output: " + noSpace},
      {"--time 0 --ansi >/dev/full", 1, "cannot write standard output: " + noSpace},
      {"--time 0 --out dir", 1, "cannot write \"dir\": Is a directory\n"},
      {"--time 0 --out dev_null", 0, ""},
      {"--time 0 --out dev_link", 1, "cannot write \"dev_link\": " + noSpace},
  };
  for (const auto& [args, code, message] : cases) {
    if (!nodes && args.find("dev_") != std::string::npos) continue;
    const RunResult r = RunProgram("sh", "-c 'exec \"$0\" " + args + "' '" DEMO_RENDER_PATH "'", "run");
    EXPECT_EQ(r.exitCode, code) << args;
    EXPECT_EQ(r.err, message.empty() ? "" : "demo_render: " + message) << args;
  }
  if (!nodes) GTEST_SKIP() << "device nodes cannot be made here: outputs that are devices untested";
  EXPECT_TRUE(fs::is_character_file("dev_null") && fs::is_character_file("dev_full") && fs::is_symlink("dev_link"));
  EXPECT_EQ(FilesHere(), 6);   // the nodes, the link, dir and the captured output: no ".part"
}

}  // namespace
