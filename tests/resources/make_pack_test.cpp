// The make_pack tool, run as the build runs it.
#include <sys/wait.h>

#include <cstring>

#include "tests/resources/resource_test_support.h"

#ifndef LUMEN_MAKE_PACK
#error "LUMEN_MAKE_PACK must name the make_pack program"
#endif

namespace {

using MakePackTool = ResourceFixture;

// Exit status of make_pack with the given arguments; its output goes to
// the files out.txt and err.txt of the working directory.
int RunMakePack(const std::string& arguments) {
  std::string command = std::string("'") + LUMEN_MAKE_PACK + "' " + arguments + " >out.txt 2>err.txt";
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST_F(MakePackTool, PacksFilesInOrderUnderTheirBaseNames) {
  std::vector<uint8_t> first = PatternBytes(10000, 51);
  std::vector<uint8_t> second = Bytes("second file");
  std::filesystem::create_directories("sub/dir");
  WriteFileBytes("sub/dir/zeta.bin", first);
  WriteFileBytes("alpha.txt", second);
  ASSERT_EQ(0, RunMakePack("--out out.kest sub/dir/zeta.bin alpha.txt")) << ReadText("err.txt");

  std::vector<uint8_t> pack = ReadFileBytes("out.kest");
  ASSERT_GT(pack.size(), kPackHeaderBytes);
  EXPECT_EQ(kPackMethodLzma, pack[DirRecordAt(pack, 0) + 8]);
  EXPECT_EQ(kPackMethodLzma, pack[DirRecordAt(pack, 1) + 8]);
  // The same image the writer makes from the same entries.
  EXPECT_EQ(BuildPackOrFail({{"zeta.bin", first, kPackMethodLzma}, {"alpha.txt", second, kPackMethodLzma}}), pack);

  ResourceTable* table = ResourceTable::CreateFromPack(pack, "out.kest");
  ASSERT_EQ(2, table->count);
  EXPECT_STREQ("zeta.bin", table->entries[0].name);
  EXPECT_STREQ("alpha.txt", table->entries[1].name);
  EXPECT_EQ(first, std::vector<uint8_t>(table->entries[0].data, table->entries[0].data + table->entries[0].size));
  EXPECT_EQ(second, std::vector<uint8_t>(table->entries[1].data, table->entries[1].data + table->entries[1].size));
  ResourceTable::Destroy(table);
}

TEST_F(MakePackTool, StoredOptionCopiesBytesUnchanged) {
  WriteFileBytes("a.bin", Bytes("aaaa"));
  WriteFileBytes("b.bin", Bytes("bb"));
  ASSERT_EQ(0, RunMakePack("--stored --out s.kest a.bin b.bin")) << ReadText("err.txt");
  std::vector<uint8_t> pack = ReadFileBytes("s.kest");
  ASSERT_EQ(kPackHeaderBytes + 6 + 2 * kPackDirEntryBytes, pack.size());
  EXPECT_EQ(0, std::memcmp(pack.data() + 12, "aaaabb", 6));
  EXPECT_EQ(kPackMethodStored, pack[DirRecordAt(pack, 0) + 8]);
  EXPECT_EQ(kPackMethodStored, pack[DirRecordAt(pack, 1) + 8]);
}

TEST_F(MakePackTool, HelpSucceeds) {
  EXPECT_EQ(0, RunMakePack("--help"));
  EXPECT_NE(std::string::npos, ReadText("out.txt").find("usage: make_pack"));
}

TEST_F(MakePackTool, BadArgumentsFail) {
  WriteFileBytes("a.bin", Bytes("a"));
  EXPECT_NE(0, RunMakePack(""));
  EXPECT_NE(0, RunMakePack("a.bin"));                      // no --out
  EXPECT_NE(0, RunMakePack("--out"));                      // --out without a file
  EXPECT_NE(0, RunMakePack("--out x.kest"));               // no inputs
  EXPECT_NE(0, RunMakePack("--out x.kest --fast a.bin"));  // unknown option
  EXPECT_NE(std::string::npos, ReadText("err.txt").find("--fast"));
  EXPECT_FALSE(std::filesystem::exists("x.kest"));
}

TEST_F(MakePackTool, UnreadableOrUnpackableInputsFail) {
  WriteFileBytes("a.bin", Bytes("a"));
  EXPECT_NE(0, RunMakePack("--out x.kest a.bin missing.bin"));
  EXPECT_NE(std::string::npos, ReadText("err.txt").find("missing.bin"));
  std::filesystem::create_directories("folder");
  EXPECT_NE(0, RunMakePack("--out x.kest folder"));
  std::string longName(34, 'n');
  WriteFileBytes(longName, Bytes("x"));
  EXPECT_NE(0, RunMakePack("--out x.kest " + longName));
  EXPECT_NE(0, RunMakePack("--out x.kest a.bin a.bin"));  // one name twice
  EXPECT_FALSE(std::filesystem::exists("x.kest"));
  EXPECT_NE(0, RunMakePack("--out no/such/dir/x.kest a.bin"));
}

}  // namespace
