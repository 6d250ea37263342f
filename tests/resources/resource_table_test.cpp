// The resource table: pack round trips, lookup order of the file fallback,
// name handling and the table's row limit.
#include <cstring>

#include "engine/resources/embedded_pack.h"
#include "tests/resources/resource_test_support.h"

namespace {

using ResourceTableTest = ResourceFixture;

std::vector<uint8_t> RowBytes(const ResourceEntry& row) { return {row.data, row.data + row.size}; }

TEST_F(ResourceTableTest, PackRoundTripKeepsOrderNamesAndBytes) {
  std::vector<uint8_t> big = PatternBytes(200000, 11);
  std::vector<uint8_t> text = Bytes("copied unchanged");
  std::vector<uint8_t> other = PatternBytes(777, 12);
  std::string longName(33, 'L');  // the longest name a pack holds
  std::vector<uint8_t> pack = BuildPackOrFail({{"big.bin", big, kPackMethodLzma},
                                               {"text.txt", text, kPackMethodStored},
                                               {"other.raw", other, 7},  // any method but 1 is stored
                                               {"empty.lz", {}, kPackMethodLzma},
                                               {longName, Bytes("long"), kPackMethodLzma}});
  ResourceTable* table = ResourceTable::CreateFromPack(pack, "test.kest");
  ASSERT_EQ(5, table->count);

  EXPECT_EQ(0, std::strcmp("big.bin", table->entries[0].name));
  EXPECT_EQ(big, RowBytes(table->entries[0]));
  EXPECT_EQ(0, std::strcmp("text.txt", table->entries[1].name));
  EXPECT_EQ(text, RowBytes(table->entries[1]));
  EXPECT_EQ(0, std::strcmp("other.raw", table->entries[2].name));
  EXPECT_EQ(other, RowBytes(table->entries[2]));
  EXPECT_EQ(0, std::strcmp("empty.lz", table->entries[3].name));
  EXPECT_EQ(0u, table->entries[3].size);
  EXPECT_NE(nullptr, table->entries[3].data);
  // A 33-character name keeps its first 32 characters in the 32-byte field.
  EXPECT_EQ(0, std::memcmp(longName.data(), table->entries[4].name, 32));
  EXPECT_EQ(Bytes("long"), RowBytes(table->entries[4]));

  ResourceTable::Install(table);
  EXPECT_EQ(table, ResourceTable::Instance());
  EXPECT_EQ(&table->entries[1], &ResourceTable::Instance()->Get("text.txt"));
  EXPECT_EQ(&table->entries[4], &ResourceTable::Instance()->Get(longName.c_str()));
}

TEST_F(ResourceTableTest, PackEntryWinsOverFileOfTheSameName) {
  ResourceTable* table = InstallPack({{"same.txt", Bytes("from pack"), kPackMethodLzma}});
  WriteFileBytes("same.txt", Bytes("from ./"));
  WriteFileBytes("../data/same.txt", Bytes("from ../data/"));
  ResourceEntry& row = table->Get("same.txt");
  EXPECT_EQ(&table->entries[0], &row);
  EXPECT_EQ(Bytes("from pack"), RowBytes(row));
  EXPECT_EQ(1, table->count);
}

TEST_F(ResourceTableTest, FileFallbackLooksInWorkingDirectoryFirst) {
  ResourceTable* table = InstallPack({{"packed.txt", Bytes("p"), 0}});
  WriteFileBytes("both.txt", Bytes("from ./"));
  WriteFileBytes("../data/both.txt", Bytes("from ../data/"));
  WriteFileBytes("../data/only.txt", Bytes("only in ../data/"));

  ResourceEntry& both = table->Get("both.txt");
  EXPECT_EQ(Bytes("from ./"), RowBytes(both));
  EXPECT_EQ(2, table->count);
  EXPECT_EQ(0, std::strcmp("both.txt", table->entries[1].name));

  ResourceEntry& only = table->Get("only.txt");
  EXPECT_EQ(Bytes("only in ../data/"), RowBytes(only));
  EXPECT_EQ(3, table->count);
  EXPECT_EQ(&table->entries[2], &only);
}

TEST_F(ResourceTableTest, SecondLookupHitsTheTable) {
  ResourceTable* table = InstallPack({});
  WriteFileBytes("once.txt", Bytes("first contents"));
  ResourceEntry& first = table->Get("once.txt");
  // Changing or removing the file afterwards changes nothing.
  WriteFileBytes("once.txt", Bytes("changed"));
  ResourceEntry& second = table->Get("once.txt");
  std::filesystem::remove("once.txt");
  ResourceEntry& third = table->Get("once.txt");
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(&first, &third);
  EXPECT_EQ(1, table->count);
  EXPECT_EQ(Bytes("first contents"), RowBytes(third));
}

TEST_F(ResourceTableTest, FileRowHasOneExtraZeroByte) {
  ResourceTable* table = InstallPack({});
  std::vector<uint8_t> ten = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  WriteFileBytes("ten.bin", ten);
  ResourceEntry& row = table->Get("ten.bin");
  ASSERT_EQ(10u, row.size);
  EXPECT_EQ(ten, RowBytes(row));
  EXPECT_EQ(0, row.data[10]);

  std::vector<uint8_t> one = {0xAB};
  WriteFileBytes("../data/one.bin", one);
  ResourceEntry& single = table->Get("one.bin");
  ASSERT_EQ(1u, single.size);
  EXPECT_EQ(0xAB, single.data[0]);
  EXPECT_EQ(0, single.data[1]);
}

TEST_F(ResourceTableTest, NamesAgreeingInFirst32CharactersAreOneResource) {
  std::string common(32, 'x');
  ResourceTable* table = InstallPack({{common + "1", Bytes("packed"), kPackMethodLzma}});
  EXPECT_EQ(&table->entries[0], &table->Get((common + "2").c_str()));
  EXPECT_EQ(&table->entries[0], &table->Get(common.c_str()));
  EXPECT_EQ(1, table->count);

  // A file name of 40 characters: stored within the 32-character field, the
  // row's size right behind it untouched, and found again by any name that
  // shares those 32 characters.
  std::string fileCommon(32, 'f');
  std::string fileName = fileCommon + "_aaaaaaa";
  WriteFileBytes(fileName, Bytes("seven b"));
  ResourceEntry& row = table->Get(fileName.c_str());
  EXPECT_EQ(&table->entries[1], &row);
  EXPECT_EQ(0, std::memcmp(fileCommon.data(), row.name, 32));
  EXPECT_EQ(7u, row.size);
  EXPECT_EQ(Bytes("seven b"), RowBytes(row));
  EXPECT_EQ(&row, &table->Get((fileCommon + "_bbbbbbb").c_str()));
  EXPECT_EQ(2, table->count);
  // Names that differ within the first 32 characters stay apart.
  EXPECT_FATAL(table->Get((std::string(31, 'f') + "g").c_str()), "resource \"f+g\" not found\n");
}

TEST_F(ResourceTableTest, MissingResourceEndsTheProgram) {
  ResourceTable* table = InstallPack({{"present.txt", Bytes("p"), 0}});
  EXPECT_FATAL(table->Get("absent.txt"), "^resource \"absent.txt\" not found\n$");
}

TEST_F(ResourceTableTest, EmptyFileEndsTheProgram) {
  ResourceTable* table = InstallPack({});
  WriteFileBytes("empty.bin", {});
  EXPECT_FATAL(table->Get("empty.bin"), "^resource \"empty.bin\" not found\n$");
  // An empty file in "./" does not fall through to "../data/".
  WriteFileBytes("../data/empty.bin", Bytes("data"));
  EXPECT_FATAL(table->Get("empty.bin"), "^resource \"empty.bin\" not found\n$");
}

TEST_F(ResourceTableTest, DirectoriesAreNotResources) {
  ResourceTable* table = InstallPack({});
  std::filesystem::create_directories("folder.png");
  EXPECT_FATAL(table->Get("folder.png"), "^resource \"folder.png\" not found\n$");
  WriteFileBytes("../data/folder.png", Bytes("in data"));
  EXPECT_EQ(Bytes("in data"), RowBytes(table->Get("folder.png")));
}

TEST_F(ResourceTableTest, PathsTooLongForTheBufferAreNotFound) {
  ResourceTable* table = InstallPack({});
  // 500 characters of nested directories; the letter keeps the names of the
  // cases below apart within their first 32 characters.
  auto nested = [](char letter) {
    std::string dirs;
    for (int i = 0; i < 10; ++i) dirs += std::string(49, letter) + "/";
    std::filesystem::create_directories(dirs);
    std::filesystem::create_directories("../data/" + dirs);
    return dirs;
  };
  // A name of 507 characters: "./" + name is 509 characters and fits the
  // 512-byte path buffer, "../data/" + name (515) does not.
  std::string name = nested('a') + "abc.txt";
  ASSERT_EQ(507u, name.size());
  WriteFileBytes("../data/" + name, Bytes("unreachable"));
  EXPECT_FATAL(table->Get(name.c_str()), "resource \"a+/.*abc.txt\" not found\n$");
  WriteFileBytes(name, Bytes("reachable"));
  EXPECT_EQ(Bytes("reachable"), RowBytes(table->Get(name.c_str())));

  // "./" + 510 characters is 512 and needs 513 bytes with its terminator.
  std::string tooLong = nested('b') + "0123456789";
  WriteFileBytes(tooLong, Bytes("no"));
  EXPECT_FATAL(table->Get(tooLong.c_str()), "resource \"b+/.*0123456789\" not found\n$");
  std::string longest = nested('c') + "012345678";  // 509 characters: a 511-character path
  WriteFileBytes(longest, Bytes("yes"));
  EXPECT_EQ(Bytes("yes"), RowBytes(table->Get(longest.c_str())));
  EXPECT_EQ(2, table->count);
}

TEST_F(ResourceTableTest, TableHoldsAtMost100Rows) {
  std::vector<PackInput> entries;
  for (int i = 0; i < 98; ++i) entries.push_back({"entry" + std::to_string(i), Bytes("v"), 0});
  ResourceTable* table = InstallPack(entries);
  ASSERT_EQ(98, table->count);
  WriteFileBytes("file98", Bytes("98"));
  WriteFileBytes("file99", Bytes("99"));
  WriteFileBytes("file100", Bytes("100"));
  table->Get("file98");
  table->Get("file99");
  ASSERT_EQ(100, table->count);
  EXPECT_EQ(Bytes("99"), RowBytes(table->entries[99]));
  EXPECT_FATAL(table->Get("file100"), "^resource table full: cannot add \"file100\" \\(at most 100 resources\\)\n$");
  // Rows already present are still found, and a missing name is still missing.
  EXPECT_EQ(&table->entries[99], &table->Get("file99"));
  EXPECT_EQ(&table->entries[5], &table->Get("entry5"));
  EXPECT_FATAL(table->Get("nowhere"), "^resource \"nowhere\" not found\n$");
}

TEST_F(ResourceTableTest, FullPackLeavesNoRoomForFiles) {
  std::vector<PackInput> entries;
  for (int i = 0; i < 100; ++i) entries.push_back({"entry" + std::to_string(i), Bytes("v"), 0});
  ResourceTable* table = InstallPack(entries);
  ASSERT_EQ(100, table->count);
  EXPECT_EQ(0, std::strcmp("entry99", table->entries[99].name));
  WriteFileBytes("extra.txt", Bytes("x"));
  EXPECT_FATAL(table->Get("extra.txt"), "^resource table full: cannot add \"extra.txt\"");
}

TEST_F(ResourceTableTest, InstanceIsBuiltFromTheEmbeddedPack) {
  std::span<const uint8_t> pack = EmbeddedPack();
  ASSERT_GE(pack.size(), kPackHeaderBytes);
  int expectedCount = static_cast<int16_t>(pack[6] | (pack[7] << 8));
  ResourceTable* table = ResourceTable::Instance();
  ASSERT_NE(nullptr, table);
  EXPECT_EQ(table, ResourceTable::Instance());
  EXPECT_EQ(expectedCount, table->count);

  // Its rows are those of the same image read as any other pack.
  ResourceTable* copy = ResourceTable::CreateFromPack(pack, "qx3.kest");
  ASSERT_EQ(copy->count, table->count);
  for (int i = 0; i < table->count; ++i) {
    EXPECT_EQ(0, std::strncmp(copy->entries[i].name, table->entries[i].name, 32));
    EXPECT_EQ(RowBytes(copy->entries[i]), RowBytes(table->entries[i]));
  }
  ResourceTable::Destroy(copy);

  ResourceTable::Release();
  ResourceTable* rebuilt = ResourceTable::Instance();
  EXPECT_EQ(expectedCount, rebuilt->count);
}

TEST_F(ResourceTableTest, InstallReplacesTheInstance) {
  ResourceTable* first = InstallPack({{"one", Bytes("1"), 0}});
  EXPECT_EQ(first, ResourceTable::Instance());
  ResourceTable* second = InstallPack({{"two", Bytes("2"), 0}});
  EXPECT_EQ(second, ResourceTable::Instance());
  EXPECT_EQ(Bytes("2"), RowBytes(ResourceTable::Instance()->Get("two")));
  ResourceTable::Install(second);  // installing the instance again keeps it
  EXPECT_EQ(Bytes("2"), RowBytes(ResourceTable::Instance()->Get("two")));
}

}  // namespace
