// make_show_data as the build runs it: arguments, exit codes, files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/run_tool.h"

#include "tests/showdata/decoded_image.h"
#include "tools/showdata/show_images.h"

namespace {

RunResult RunTool(const std::string& args, const std::string& name) {
  return RunProgram(MAKE_SHOW_DATA_PATH, args, name);
}

std::filesystem::path FreshDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::current_path() / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

TEST(MakeShowDataTool, WritesEveryImageTheSameOnEachRun) {
  const std::filesystem::path a = FreshDir("tool_run_a");
  const std::filesystem::path b = FreshDir("tool_run_b");
  const RunResult first = RunTool("--out '" + a.string() + "'", "tool_run_a");
  const RunResult second = RunTool("--out '" + b.string() + "'", "tool_run_b");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(first.err, "");
  for (const showdata::ShowImage& entry : showdata::ShowImages()) {
    SCOPED_TRACE(entry.fileName);
    const std::string bytes = ReadText(a / entry.fileName);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes == ReadText(b / entry.fileName));
    // What the tool writes is what the generator makes.
    const DecodedImage decoded = DecodePng(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_TRUE(decoded.rgb == entry.generate().rgb);
  }
}

TEST(MakeShowDataTool, OverwritesFilesOfAnEarlierRun) {
  const std::filesystem::path dir = FreshDir("tool_rerun");
  std::ofstream(dir / "crud.png") << "stale";
  const RunResult r = RunTool("--out '" + dir.string() + "'", "tool_rerun");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string bytes = ReadText(dir / "crud.png");
  EXPECT_EQ(DecodePng(std::vector<uint8_t>(bytes.begin(), bytes.end())).width, 80);
}

TEST(MakeShowDataTool, HelpPrintsUsageAndSucceeds) {
  const RunResult r = RunTool("--help", "tool_help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--out DIR"), std::string::npos) << r.out;
}

TEST(MakeShowDataTool, BadArgumentsFailWithOneLine) {
  const std::filesystem::path dir = FreshDir("tool_bad_args");
  const std::string out = "'" + dir.string() + "'";
  struct Case {
    std::string args;
    const char* mentions;
  };
  const Case cases[] = {
      {"", "--out"},
      {"--out", "--out"},
      {"--out ''", "--out"},
      {"--frobnicate", "--frobnicate"},
      {"--out " + out + " extra", "extra"},
      {"--out " + out + " --out " + out, "twice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunTool(c.args, "tool_bad_args");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(LineCount(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
  }
  // Nothing was written by any of them.
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST(MakeShowDataTool, UnwritableOutputFailsWithOneLine) {
  const RunResult missing = RunTool("--out no_such_dir/below", "tool_missing_dir");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(LineCount(missing.err), 1) << missing.err;
  EXPECT_NE(missing.err.find("no_such_dir/below"), std::string::npos) << missing.err;

  // A plain file given as the directory.
  std::ofstream("tool_not_a_dir") << "x";
  const RunResult file = RunTool("--out tool_not_a_dir", "tool_not_a_dir");
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_EQ(LineCount(file.err), 1) << file.err;

  // An image's name taken by a directory: writing fails even as root, where
  // permission bits would not stop it.
  const std::filesystem::path dir = FreshDir("tool_blocked");
  std::filesystem::create_directory(dir / "3dfont.png");
  const RunResult blocked = RunTool("--out '" + dir.string() + "'", "tool_blocked");
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_EQ(LineCount(blocked.err), 1) << blocked.err;
  EXPECT_NE(blocked.err.find("3dfont.png"), std::string::npos) << blocked.err;
}

}  // namespace
