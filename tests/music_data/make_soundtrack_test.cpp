// make_soundtrack's command line: help, argument errors and unwritable paths
// (a successful run is what the build does; ShippedTrack checks its file).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/run_tool.h"

namespace {

RunResult RunTool(const std::string& args, const std::string& name) {
  return RunProgram(MAKE_SOUNDTRACK_PATH, args, name);
}

TEST(MakeSoundtrack, HelpPrintsUsage) {
  for (const char* flag : {"--help", "-h"}) {
    const RunResult r = RunTool(flag, "help");
    EXPECT_EQ(r.exitCode, 0) << flag;
    EXPECT_NE(r.out.find("usage: make_soundtrack --out FILE"), std::string::npos) << flag;
    EXPECT_TRUE(r.err.empty()) << flag;
  }
}

TEST(MakeSoundtrack, ArgumentErrorsExitWithTwo) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"", "missing --out FILE"},
      {"--out", "--out needs a file name"},
      {"--out ''", "--out needs a file name"},
      {"--wav x.wav", "missing --out FILE"},
      {"--out a.mp3 --out b.mp3", "--out given twice"},
      {"--out a.mp3 --wav", "--wav needs a file name"},
      {"--out a.mp3 --bitrate 128", "unexpected argument \"--bitrate\""},
  };
  int i = 0;
  for (const Case& c : cases) {
    const RunResult r = RunTool(c.args, "args" + std::to_string(i++));
    EXPECT_EQ(r.exitCode, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists("a.mp3"));
}

TEST(MakeSoundtrack, UnwritablePathsFailAtOnce) {
  const RunResult r = RunTool("--out no_such_dir/qx3.mp3", "badout");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot write \"no_such_dir/qx3.mp3.part\""), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  const RunResult w = RunTool("--out wav_fails.mp3 --wav no_such_dir/x.wav", "badwav");
  EXPECT_EQ(w.exitCode, 1);
  EXPECT_NE(w.err.find("cannot write \"no_such_dir/x.wav\""), std::string::npos) << w.err;
  // Nothing is left behind, not even the temporary file.
  EXPECT_FALSE(std::filesystem::exists("wav_fails.mp3"));
  EXPECT_FALSE(std::filesystem::exists("wav_fails.mp3.part"));
}

}  // namespace
