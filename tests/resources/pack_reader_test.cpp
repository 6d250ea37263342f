// The pack reader and the unpacking of entries: what a sound pack gives, and
// that every damaged pack or corrupted LZMA entry ends the program with a
// line naming the pack or the entry, without reading outside the pack.
#include <lzma.h>

#include <cstring>

#include "tests/resources/resource_test_support.h"

namespace {

// Two LZMA entries and a stored one.
std::vector<uint8_t> SoundPack() {
  return BuildPackOrFail({{"first.bin", PatternBytes(5000, 21), kPackMethodLzma},
                          {"second.txt", Bytes("0123456789"), kPackMethodStored},
                          {"third.bin", PatternBytes(300, 22), kPackMethodLzma}});
}

void Unpack(const std::vector<uint8_t>& pack) {
  ResourceTable* table = ResourceTable::CreateFromPack(pack, "qx3.kest");
  ResourceTable::Destroy(table);
}

// A pack whose only entry holds stored as its bytes, relabelled method 1
// with the given unpacked size.
std::vector<uint8_t> PackWithLzmaBytes(const char* name, const std::vector<uint8_t>& stored, uint32_t size) {
  std::vector<uint8_t> pack = BuildPackOrFail({{name, stored, kPackMethodStored}});
  size_t rec = DirRecordAt(pack, 0);
  WriteLe32(pack, rec + 4, size);
  pack[rec + 8] = kPackMethodLzma;
  return pack;
}

std::vector<uint8_t> AloneStream(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> stream;
  std::string error;
  EXPECT_TRUE(CompressLzmaAlone(data, stream, error)) << error;
  return stream;
}

TEST(PackReader, StartsEmptyWithTheShowPackHeader) {
  auto* reader = new PackReader();
  EXPECT_STREQ("qx3.kest", reader->packName);
  EXPECT_EQ(0, std::memcmp("KEST", reader->magic, 4));
  EXPECT_EQ(324, reader->version);
  EXPECT_EQ(0, reader->entryCount);
  EXPECT_EQ(0u, reader->dataSize);
  for (int i = 0; i < kPackMaxEntries; ++i) EXPECT_EQ(nullptr, reader->entryBytes[i]);
  delete reader;
}

TEST(PackReader, LoadCopiesHeaderDirectoryAndStoredBytes) {
  std::vector<uint8_t> pack = SoundPack();
  // The header's magic and version are taken as they are, not compared.
  std::memcpy(pack.data(), "ABCD", 4);
  WriteLe16(pack, 4, 77);
  auto* reader = new PackReader();
  reader->Load(pack);
  EXPECT_EQ(0, std::memcmp("ABCD", reader->magic, 4));
  EXPECT_EQ(77, reader->version);
  ASSERT_EQ(3, reader->entryCount);
  EXPECT_EQ(ReadLe32(pack, 8), reader->dataSize);

  EXPECT_STREQ("first.bin", reader->directory[0].name);
  EXPECT_STREQ("second.txt", reader->directory[1].name);
  EXPECT_STREQ("third.bin", reader->directory[2].name);
  EXPECT_EQ(10, reader->directory[1].nameLength);
  EXPECT_EQ(kPackMethodStored, reader->directory[1].method);
  EXPECT_EQ(5000u, reader->directory[0].size);

  size_t offset = kPackHeaderBytes;
  for (int i = 0; i < 3; ++i) {
    uint32_t stored = reader->directory[i].storedSize;
    ASSERT_NE(nullptr, reader->entryBytes[i]);
    EXPECT_EQ(0, std::memcmp(pack.data() + offset, reader->entryBytes[i], stored)) << i;
    offset += stored;
  }
  EXPECT_EQ(pack.size() - 3 * kPackDirEntryBytes, offset);

  // Loading again replaces the first load (its stored bytes are released).
  std::vector<uint8_t> other = BuildPackOrFail({{"only.txt", Bytes("abc"), 0}});
  reader->Load(other);
  ASSERT_EQ(1, reader->entryCount);
  EXPECT_STREQ("only.txt", reader->directory[0].name);
  EXPECT_EQ(0, std::memcmp("abc", reader->entryBytes[0], 3));
  EXPECT_EQ(nullptr, reader->entryBytes[1]);

  uint8_t* held = reader->entryBytes[0];
  reader->Clear();
  std::free(held);  // Clear only forgets the stored bytes
  EXPECT_EQ(0, reader->entryCount);
  EXPECT_EQ(0u, reader->dataSize);
  for (int i = 0; i < kPackMaxEntries; ++i) {
    EXPECT_EQ(nullptr, reader->entryBytes[i]);
    EXPECT_EQ(0u, reader->directory[i].storedSize);
    EXPECT_EQ(0u, reader->directory[i].size);
    EXPECT_EQ('\0', reader->directory[i].name[0]);
  }
  delete reader;
}

TEST(PackReaderDeathTest, PackShorterThanItsHeader) {
  std::vector<uint8_t> pack = SoundPack();
  std::vector<uint8_t> eleven(pack.begin(), pack.begin() + 11);
  EXPECT_FATAL(Unpack(eleven), "^resource pack \"qx3.kest\" is damaged: 11 bytes, shorter than its 12-byte header\n$");
  EXPECT_FATAL(Unpack({}), "^resource pack \"qx3.kest\" is damaged: 0 bytes");
}

TEST(PackReaderDeathTest, EntryCountOutOfRange) {
  std::vector<uint8_t> pack = SoundPack();
  WriteLe16(pack, 6, 0xFFFF);  // -1
  EXPECT_FATAL(Unpack(pack), "^resource pack \"qx3.kest\" is damaged: entry count -1 outside 0..100\n$");
  WriteLe16(pack, 6, 0x8000);  // -32768
  EXPECT_FATAL(Unpack(pack), "entry count -32768 outside");
  WriteLe16(pack, 6, 101);
  EXPECT_FATAL(Unpack(pack), "^resource pack \"qx3.kest\" is damaged: entry count 101 outside 0..100\n$");
}

TEST(PackReaderDeathTest, LengthDisagreesWithHeader) {
  std::vector<uint8_t> pack = SoundPack();
  std::vector<uint8_t> longer = pack;
  longer.push_back(0);
  EXPECT_FATAL(Unpack(longer), "^resource pack \"qx3.kest\" is damaged: [0-9]+ bytes, header asks for [0-9]+\n$");
  std::vector<uint8_t> shorter(pack.begin(), pack.end() - 1);
  EXPECT_FATAL(Unpack(shorter), "header asks for");
  // A dataSize that would put the directory beyond the end.
  std::vector<uint8_t> hugeData = pack;
  WriteLe32(hugeData, 8, 0xFFFFFFF0u);
  EXPECT_FATAL(Unpack(hugeData), "header asks for 4294967");
  // More entries counted than the image has room for.
  std::vector<uint8_t> moreEntries = pack;
  WriteLe16(moreEntries, 6, 100);
  EXPECT_FATAL(Unpack(moreEntries), "header asks for");
}

TEST(PackReaderDeathTest, NameLengthOutOfRange) {
  std::vector<uint8_t> pack = SoundPack();
  size_t rec = DirRecordAt(pack, 1);
  pack[rec + 9] = 34;
  EXPECT_FATAL(Unpack(pack), "^resource pack \"qx3.kest\" is damaged: entry 1 name length 34 outside 0..33\n$");
  pack[rec + 9] = 0x80;  // -128
  EXPECT_FATAL(Unpack(pack), "entry 1 name length -128 outside 0..33");
  pack[rec + 9] = 0xFF;  // -1
  EXPECT_FATAL(Unpack(pack), "entry 1 name length -1 outside 0..33");
}

TEST(PackReaderDeathTest, StoredBytesRunPastTheDirectory) {
  std::vector<uint8_t> pack = SoundPack();
  uint32_t dataSize = ReadLe32(pack, 8);
  std::vector<uint8_t> first = pack;
  WriteLe32(first, DirRecordAt(first, 0), dataSize + 1);
  EXPECT_FATAL(Unpack(first), "^resource pack \"qx3.kest\" is damaged: entry 0 stored bytes run past the directory\n$");
  // A size that wraps a 32-bit running offset must not slip through.
  std::vector<uint8_t> wrap = pack;
  WriteLe32(wrap, DirRecordAt(wrap, 2), 0xFFFFFFFFu);
  EXPECT_FATAL(Unpack(wrap), "entry 2 stored bytes run past the directory");
}

TEST(PackReaderDeathTest, SizesDoNotAddUpToDataSize) {
  std::vector<uint8_t> pack = SoundPack();
  size_t rec = DirRecordAt(pack, 2);
  WriteLe32(pack, rec, ReadLe32(pack, rec) - 1);
  EXPECT_FATAL(Unpack(pack), "^resource pack \"qx3.kest\" is damaged: entry sizes add up to [0-9]+, header says [0-9]+\n$");
}

TEST(PackReaderDeathTest, StoredEntrySizeDiffersFromItsBytes) {
  std::vector<uint8_t> pack = SoundPack();
  size_t rec = DirRecordAt(pack, 1);
  WriteLe32(pack, rec + 4, 11);  // 10 bytes stored, 11 claimed: the copy would over-read
  EXPECT_FATAL(Unpack(pack), "^resource pack \"qx3.kest\" is damaged: stored entry 1 holds 10 bytes, not 11\n$");
}

TEST(PackReaderDeathTest, MessageNamesThePackGiven) {
  std::vector<uint8_t> pack = SoundPack();
  pack.push_back(0);
  EXPECT_FATAL(ResourceTable::CreateFromPack(pack, "other.kest"), "^resource pack \"other.kest\" is damaged");
}

TEST(LzmaEntry, SizeFieldOfTheStreamIsNotRead) {
  std::vector<uint8_t> data = PatternBytes(4000, 31);
  std::vector<uint8_t> stream = AloneStream(data);
  for (size_t k = 5; k < 13; ++k) stream[k] = 0x00;  // claims 0 bytes; the directory says 4000
  ResourceTable* table = ResourceTable::CreateFromPack(PackWithLzmaBytes("sized.bin", stream, 4000), "qx3.kest");
  ASSERT_EQ(1, table->count);
  ASSERT_EQ(4000u, table->entries[0].size);
  EXPECT_EQ(0, std::memcmp(data.data(), table->entries[0].data, 4000));
  ResourceTable::Destroy(table);
}

TEST(LzmaEntry, StopsAfterTheDirectorySizeWithOrWithoutEndMarker) {
  std::vector<uint8_t> data = PatternBytes(6000, 32);
  // With an end marker but asked for fewer bytes: the first 5000.
  ResourceTable* table =
      ResourceTable::CreateFromPack(PackWithLzmaBytes("part.bin", AloneStream(data), 5000), "qx3.kest");
  ASSERT_EQ(5000u, table->entries[0].size);
  EXPECT_EQ(0, std::memcmp(data.data(), table->entries[0].data, 5000));
  ResourceTable::Destroy(table);

#ifdef LZMA_FILTER_LZMA1EXT
  // Without an end marker: a raw LZMA1 stream whose end only the size tells.
  lzma_options_lzma options;
  ASSERT_FALSE(lzma_lzma_preset(&options, 6));
  options.dict_size = 1 << 16;
  options.ext_flags = 0;  // no end marker
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::vector<uint8_t> raw(data.size() + 1024);
  size_t rawSize = 0;
  ASSERT_EQ(LZMA_OK, lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), raw.data(), &rawSize,
                                            raw.size()));
  raw.resize(rawSize);
  lzma_filter lzma1 = {LZMA_FILTER_LZMA1, &options};
  std::vector<uint8_t> stored(13, 0xFF);
  ASSERT_EQ(LZMA_OK, lzma_properties_encode(&lzma1, stored.data()));
  stored.insert(stored.end(), raw.begin(), raw.end());
  table = ResourceTable::CreateFromPack(PackWithLzmaBytes("nomarker.bin", stored, 6000), "qx3.kest");
  ASSERT_EQ(6000u, table->entries[0].size);
  EXPECT_EQ(0, std::memcmp(data.data(), table->entries[0].data, 6000));
  ResourceTable::Destroy(table);
#else
  GTEST_SKIP() << "liblzma cannot write LZMA1 streams without an end marker";
#endif
}

TEST(LzmaEntryDeathTest, FewerStoredBytesThanTheHeader) {
  std::vector<uint8_t> twelve = PatternBytes(12, 41);
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("tiny.png", twelve, 100)),
               "^resource \"tiny.png\" in pack \"qx3.kest\" is corrupted: 12 stored bytes, fewer than the 13-byte "
               "LZMA header\n$");
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("none.png", {}, 0)), "^resource \"none.png\" in pack \"qx3.kest\" is corrupted");
}

TEST(LzmaEntryDeathTest, BadProperties) {
  std::vector<uint8_t> stream = AloneStream(PatternBytes(1000, 42));
  stream[0] = 0xFF;  // lc/lp/pb beyond 9 * 5 * 5 combinations
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("props.bin", stream, 1000)),
               "^resource \"props.bin\" in pack \"qx3.kest\" is corrupted: bad LZMA properties");
}

TEST(LzmaEntryDeathTest, StreamShorterThanTheDirectorySize) {
  std::vector<uint8_t> data = PatternBytes(3000, 43);
  std::vector<uint8_t> stream = AloneStream(data);
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("short.bin", stream, 3001)),
               "^resource \"short.bin\" in pack \"qx3.kest\" is corrupted: LZMA stream gave 3000 of 3001 bytes");
  std::vector<uint8_t> cut(stream.begin(), stream.begin() + 13 + (stream.size() - 13) / 2);
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("cut.bin", cut, 3000)),
               "^resource \"cut.bin\" in pack \"qx3.kest\" is corrupted: LZMA stream gave [0-9]+ of 3000 bytes");
  std::vector<uint8_t> headerOnly(stream.begin(), stream.begin() + 13);
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("header.bin", headerOnly, 3000)),
               "^resource \"header.bin\" in pack \"qx3.kest\" is corrupted: LZMA stream gave 0 of 3000 bytes");
}

TEST(LzmaEntryDeathTest, GarbageStream) {
  std::vector<uint8_t> stream = AloneStream(PatternBytes(3000, 44));
  std::vector<uint8_t> noise = PatternBytes(stream.size() - 13, 45);
  for (uint8_t& b : noise) b |= 0x80;  // the first range-coder byte must be 0 in a sound stream
  std::copy(noise.begin(), noise.end(), stream.begin() + 13);
  EXPECT_FATAL(Unpack(PackWithLzmaBytes("noise.bin", stream, 3000)),
               "^resource \"noise.bin\" in pack \"qx3.kest\" is corrupted: LZMA stream gave 0 of 3000 bytes");
}

}  // namespace
