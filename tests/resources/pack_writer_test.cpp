// The pack writer: layout of the image it builds, and what it refuses.
#include <lzma.h>

#include <algorithm>
#include <cstring>

#include "tests/resources/resource_test_support.h"

namespace {

TEST(PackWriter, LaysOutHeaderDataAndDirectory) {
  std::vector<uint8_t> first = PatternBytes(3000, 1);
  std::vector<uint8_t> second = Bytes("stored as is");
  std::vector<uint8_t> pack = BuildPackOrFail({{"first.bin", first, kPackMethodLzma}, {"b.txt", second, 0}});
  ASSERT_GE(pack.size(), kPackHeaderBytes + 2 * kPackDirEntryBytes);

  EXPECT_EQ(0, std::memcmp(pack.data(), "KEST", 4));
  EXPECT_EQ(324, pack[4] | (pack[5] << 8));
  EXPECT_EQ(2, pack[6] | (pack[7] << 8));
  uint32_t dataSize = ReadLe32(pack, 8);
  EXPECT_EQ(pack.size(), kPackHeaderBytes + dataSize + 2 * kPackDirEntryBytes);

  // Directory record 0 starts 88 bytes before the end, record 1 44 bytes before.
  size_t rec0 = pack.size() - 88;
  size_t rec1 = pack.size() - 44;
  uint32_t stored0 = ReadLe32(pack, rec0);
  EXPECT_EQ(first.size(), ReadLe32(pack, rec0 + 4));
  EXPECT_EQ(kPackMethodLzma, pack[rec0 + 8]);
  EXPECT_EQ(9, pack[rec0 + 9]);
  EXPECT_EQ(second.size(), ReadLe32(pack, rec1));
  EXPECT_EQ(second.size(), ReadLe32(pack, rec1 + 4));
  EXPECT_EQ(0, pack[rec1 + 8]);
  EXPECT_EQ(5, pack[rec1 + 9]);
  EXPECT_EQ(dataSize, stored0 + second.size());

  // Names are stored as (byte + 128) mod 256; the rest of the field is 0.
  const char* name = "first.bin";
  for (int k = 0; k < 9; ++k) EXPECT_EQ(static_cast<uint8_t>(name[k] + 128), pack[rec0 + 10 + k]) << k;
  for (int k = 9; k < kPackNameField; ++k) EXPECT_EQ(0, pack[rec0 + 10 + k]) << k;
  EXPECT_EQ(std::search(pack.begin(), pack.end(), name, name + 9), pack.end()) << "plain name in the image";

  // Entry 0's stored bytes are an LZMA alone stream: lc/lp/pb byte 0x5D
  // (lc 3, lp 0, pb 2), a dictionary size, then an unknown (all ones) size.
  EXPECT_EQ(0x5D, pack[12]);
  for (size_t k = 5; k < 13; ++k) EXPECT_EQ(0xFF, pack[12 + k]) << k;
  EXPECT_LT(stored0, first.size()) << "repeating data should compress";

  // The stored entry follows entry 0 without a gap, unchanged.
  EXPECT_TRUE(std::equal(second.begin(), second.end(), pack.begin() + 12 + stored0));
}

TEST(PackWriter, EmptyPackIsHeaderOnly) {
  std::vector<uint8_t> pack = BuildPackOrFail({});
  ASSERT_EQ(pack.size(), kPackHeaderBytes);
  EXPECT_EQ(0, pack[6] | (pack[7] << 8));
  EXPECT_EQ(0u, ReadLe32(pack, 8));
}

TEST(PackWriter, OutputIsDeterministic) {
  std::vector<PackInput> entries = {{"a.bin", PatternBytes(20000, 7), kPackMethodLzma},
                                    {"b.bin", PatternBytes(100, 8), 0}};
  EXPECT_EQ(BuildPackOrFail(entries), BuildPackOrFail(entries));
}

TEST(PackWriter, LzmaStreamDecodesWithStandardAloneDecoder) {
  std::vector<uint8_t> data = PatternBytes(50000, 3);
  std::vector<uint8_t> stream;
  std::string error;
  ASSERT_TRUE(CompressLzmaAlone(data, stream, error)) << error;

  lzma_stream decoder = LZMA_STREAM_INIT;
  ASSERT_EQ(LZMA_OK, lzma_alone_decoder(&decoder, UINT64_MAX));
  std::vector<uint8_t> out(data.size() + 16);
  decoder.next_in = stream.data();
  decoder.avail_in = stream.size();
  decoder.next_out = out.data();
  decoder.avail_out = out.size();
  lzma_ret ret = lzma_code(&decoder, LZMA_FINISH);
  size_t produced = out.size() - decoder.avail_out;
  lzma_end(&decoder);
  EXPECT_EQ(LZMA_STREAM_END, ret);
  ASSERT_EQ(data.size(), produced);
  out.resize(produced);
  EXPECT_EQ(data, out);
}

TEST(PackWriter, RejectsBadNames) {
  std::vector<uint8_t> pack;
  std::string error;
  std::string name33(33, 'n');
  std::string name34(34, 'n');
  EXPECT_TRUE(BuildPack({{name33, Bytes("x"), 0}}, pack, error)) << error;

  EXPECT_FALSE(BuildPack({{name34, Bytes("x"), 0}}, pack, error));
  EXPECT_NE(error.find("33"), std::string::npos) << error;
  EXPECT_TRUE(pack.empty());

  EXPECT_FALSE(BuildPack({{"", Bytes("x"), 0}}, pack, error));
  EXPECT_FALSE(BuildPack({{std::string("a\0b", 3), Bytes("x"), 0}}, pack, error));

  // The table compares 32 characters: the second entry could never be found.
  std::string common(32, 'c');
  EXPECT_FALSE(BuildPack({{common + "1", Bytes("x"), 0}, {common + "2", Bytes("y"), 0}}, pack, error));
  EXPECT_NE(error.find("32"), std::string::npos) << error;
  EXPECT_FALSE(BuildPack({{"same", Bytes("x"), 0}, {"same", Bytes("y"), 0}}, pack, error));
  EXPECT_TRUE(BuildPack({{common.substr(0, 31) + "1", Bytes("x"), 0}, {common.substr(0, 31) + "2", Bytes("y"), 0}},
                        pack, error))
      << error;
}

TEST(PackWriter, RejectsMoreThan100Entries) {
  std::vector<PackInput> entries;
  for (int i = 0; i < 100; ++i) entries.push_back({"e" + std::to_string(i), Bytes("v"), 0});
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_TRUE(BuildPack(entries, pack, error)) << error;
  EXPECT_EQ(100, pack[6] | (pack[7] << 8));

  entries.push_back({"e100", Bytes("v"), 0});
  EXPECT_FALSE(BuildPack(entries, pack, error));
  EXPECT_NE(error.find("100"), std::string::npos) << error;
  EXPECT_TRUE(pack.empty());
}

}  // namespace
