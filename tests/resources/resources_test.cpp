// The resource pack (the writer's layout and refusals, make_pack, the reader
// and every damaged pack or corrupted LZMA entry, which ends the program with
// one line naming it), the resource table's file fallback, and PNG bitmaps.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/portable.h"
#include "tests/support/regex_match.h"
#include "tests/support/run_tool.h"
#include "tools/resources/pack_writer.h"

namespace fs = std::filesystem;

namespace {

// Fatal() prints on standard output, folded into standard error here, where
// the death test looks for regex; the exit code is -1.
#define EXPECT_FATAL(statement, regex) \
  EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), statement), ::testing::ExitedWithCode(kFatalExitStatus), regex)

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
std::vector<uint8_t> Row(const ResourceEntry& row) { return {row.data, row.data + row.size}; }

// Varied bytes with long repeats, so that LZMA has matches to find.
std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    out[i] = static_cast<uint8_t>((i / 64) % 3 == 0 ? i : seed >> 24);
  }
  return out;
}

std::vector<uint8_t> Pack(const std::vector<PackInput>& entries) {
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_TRUE(BuildPack(entries, pack, error)) << error;
  return pack;
}

std::vector<uint8_t> AloneStream(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> stream;
  std::string error;
  EXPECT_TRUE(CompressLzmaAlone(data, stream, error)) << error;
  return stream;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void PutLe(std::vector<uint8_t>& bytes, size_t at, uint32_t v, int count = 4) {
  for (int k = 0; k < count; ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// ---------------------------------------------------------------------------
// Writing packs

TEST(PackWriter, LaysOutHeaderDataAndDirectory) {
  const std::vector<uint8_t> first = PatternBytes(3000, 1), second = Bytes("stored as is"), stream = AloneStream(first);
  EXPECT_LT(stream.size(), first.size());   // an LZMA alone stream, read back in PackReader's tests
  // Magic, version 324, entry count, data size; the entries' stored bytes;
  // the directory records: stored size, size, method, name length, the
  // name's bytes + 128 padded with 0 to 34.
  std::vector<uint8_t> expected = {'K', 'E', 'S', 'T', 324 & 0xFF, 324 >> 8, 2, 0};
  auto le32 = [&expected](size_t v) {
    for (int k = 0; k < 32; k += 8) expected.push_back(static_cast<uint8_t>(v >> k));
  };
  le32(stream.size() + second.size());
  expected.insert(expected.end(), stream.begin(), stream.end());
  expected.insert(expected.end(), second.begin(), second.end());
  for (auto [stored, size, method, name] : {std::tuple(stream.size(), first.size(), 1, std::string("first.bin")),
                                            std::tuple(second.size(), second.size(), 0, std::string("b.txt"))}) {
    le32(stored);
    le32(size);
    expected.insert(expected.end(), {static_cast<uint8_t>(method), static_cast<uint8_t>(name.size())});
    for (int k = 0; k < 34; ++k) expected.push_back(k < int(name.size()) ? static_cast<uint8_t>(name[k] + 128) : 0);
  }
  EXPECT_EQ(Pack({{"first.bin", first, kPackMethodLzma}, {"b.txt", second, kPackMethodStored}}), expected);
}

// Names the table could not tell apart or hold, more entries than it has rows,
// and more bytes than the reader takes.
TEST(PackWriter, RefusesWhatTheTableCannotHold) {
  std::vector<std::string> hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back("e" + std::to_string(i));
  const std::string c31(31, 'c');
  std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {hundred, true}, {{std::string(33, 'n')}, true}, {{c31 + "1", c31 + "2"}, true}, {{std::string(34, 'n')}, false},
      {{""}, false}, {{std::string("a\0b", 3)}, false}, {{c31 + "c1", c31 + "c2"}, false}, {{"same", "same"}, false}};
  hundred.push_back("e100");
  cases.push_back({hundred, false});
  for (const auto& [names, accepted] : cases) {
    std::vector<PackInput> entries;
    for (const std::string& name : names) entries.push_back({name, Bytes("x"), 0});
    std::vector<uint8_t> pack = {1};
    std::string error;
    EXPECT_EQ(BuildPack(entries, pack, error), accepted) << entries.size() << " " << entries[0].name.size();
    EXPECT_TRUE(pack.empty() != accepted && error.empty() == accepted) << error;
  }
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_FALSE(BuildPack({{"a", std::vector<uint8_t>(kPackMaxUnpackedBytes / 2), kPackMethodStored},
                          {"b", std::vector<uint8_t>(kPackMaxUnpackedBytes / 2 + 1), kPackMethodLzma}}, pack, error));
  EXPECT_EQ(error, "entries add up to 67108865 bytes (at most 67108864)");
}

TEST(MakePack, PacksFilesUnderTheirBaseNamesAsTheWriterDoes) {
  const std::vector<uint8_t> first = PatternBytes(10000, 51), second = Bytes("second file");
  fs::create_directories("sub/dir");
  WriteFile("sub/dir/zeta.bin", first);
  WriteFile("alpha.txt", second);
  for (uint8_t method : {kPackMethodLzma, kPackMethodStored}) {
    const std::string out = method == kPackMethodStored ? "--stored --out out.kest" : "--out out.kest";
    const RunResult run = RunProgram(LUMEN_MAKE_PACK, out + " sub/dir/zeta.bin alpha.txt", "make_pack");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Bytes(ReadText("out.kest")), Pack({{"zeta.bin", first, method}, {"alpha.txt", second, method}}));
  }
}

// Nor is a full device ("dev_full", the case's own node) removed or replaced.
TEST(MakePack, FailsOnBadArgumentsAndInputsWritingNothing) {
  WriteFile("a.bin", Bytes("a"));
  WriteFile(std::string(34, 'n'), Bytes("x"));
  fs::create_directories("folder");
  const bool nodes = MakeMemoryDevice("dev_full", 7);
  std::vector<std::string> arguments = {
      "", "a.bin", "--out", "--out x.kest", "--out x.kest --fast a.bin", "--out x.kest a.bin missing.bin",
      "--out x.kest folder", "--out x.kest a.bin a.bin", "--out x.kest " + std::string(34, 'n'),
      "--out no/such/dir/x.kest a.bin", "--out folder a.bin"};
  if (nodes) arguments.push_back("--out dev_full a.bin");
  for (const std::string& args : arguments) {
    EXPECT_NE(RunProgram(LUMEN_MAKE_PACK, args, "make_pack").exitCode, 0) << args;
    EXPECT_FALSE(fs::exists("x.kest") || fs::exists("x.kest.part") || fs::exists("folder.part")) << args;
  }
  if (!nodes) GTEST_SKIP() << "device nodes cannot be made here: an output that is a device untested";
  EXPECT_TRUE(fs::is_character_file("dev_full"));
  EXPECT_EQ(ReadText("make_pack.stderr"), "make_pack: cannot write \"dev_full\": No space left on device\n");
}

// ---------------------------------------------------------------------------
// Reading packs

// A pack whose one entry holds stored as its bytes, marked LZMA with the given size.
std::vector<uint8_t> LzmaEntryPack(const std::vector<uint8_t>& stored, uint32_t size) {
  std::vector<uint8_t> pack = Pack({{"entry.bin", stored, kPackMethodStored}});
  PutLe(pack, pack.size() - 44 + 4, size);
  pack[pack.size() - 44 + 8] = kPackMethodLzma;
  return pack;
}

TEST(PackReader, RoundTripKeepsOrderNamesAndBytes) {
  const std::vector<PackInput> entries = {{"big.bin", PatternBytes(100000, 11), kPackMethodLzma},
                                          {"text.txt", Bytes("copied unchanged"), kPackMethodStored},
                                          {"other.raw", PatternBytes(777, 12), 7},   // any method but 1 stores
                                          {"empty.lz", {}, kPackMethodLzma},
                                          {std::string(33, 'L'), Bytes("long"), kPackMethodLzma}};
  ResourceTable* table = ResourceTable::CreateFromPack(Pack(entries), "test.kest");
  ASSERT_EQ(table->count, 5);
  for (int i = 0; i < 5; ++i) {
    // A 33-character name keeps its first 32 characters in the 32-byte field.
    EXPECT_EQ(std::string(table->entries[i].name, strnlen(table->entries[i].name, 32)), entries[i].name.substr(0, 32));
    EXPECT_EQ(Row(table->entries[i]), entries[i].bytes) << i;
    EXPECT_NE(table->entries[i].data, nullptr);
  }
  ResourceTable::Destroy(table);
  // The stream's own size field is not read: decoding stops once the
  // directory's size is out, before the end marker.
  const std::vector<uint8_t> data = PatternBytes(6000, 32);
  std::vector<uint8_t> claimsNothing = AloneStream(data);
  std::fill(claimsNothing.begin() + 5, claimsNothing.begin() + 13, 0);
  for (auto [stored, size] : {std::pair(claimsNothing, 6000u), std::pair(AloneStream(data), 5000u)}) {
    table = ResourceTable::CreateFromPack(LzmaEntryPack(stored, size), "test.kest");
    EXPECT_EQ(Row(table->entries[0]), std::vector<uint8_t>(data.begin(), data.begin() + size));
    ResourceTable::Destroy(table);
  }
}

// Every refusal, through the entry point that returns it; the one that ends
// the program prints the same line.
TEST(PackReader, RefusesDamagedPacksAndEntriesNamingThem) {
  // Two LZMA entries round a stored one of 10 bytes; record i starts 44 (3 - i) bytes before the end.
  const std::vector<uint8_t> sound = Pack({{"first.bin", PatternBytes(5000, 21), kPackMethodLzma},
                                           {"second.txt", Bytes("0123456789"), kPackMethodStored},
                                           {"third.bin", PatternBytes(300, 22), kPackMethodLzma}});
  const size_t record0 = sound.size() - 132, record1 = sound.size() - 88, record2 = sound.size() - 44;
  const uint32_t dataSize = static_cast<uint32_t>(sound.size() - 12 - 132);
  auto patched = [&sound](size_t at, uint32_t v, int count = 4) { auto p = sound; PutLe(p, at, v, count); return p; };
  auto resized = [&sound](size_t size) { auto p = sound; p.resize(size); return p; };
  const std::vector<uint8_t> stream = AloneStream(PatternBytes(3000, 43));
  const std::vector<uint8_t> cut(stream.begin(), stream.end() - 100), headerOnly(stream.begin(), stream.begin() + 13);
  std::vector<uint8_t> badProperties = stream, garbage = stream;
  badProperties[0] = 0xFF;   // lc/lp/pb beyond 9 x 5 x 5
  for (size_t i = 13; i < garbage.size(); ++i) garbage[i] |= 0x80;   // a sound stream starts with a 0 byte
  // The most an LZMA entry of this stream may claim, and the most a pack may
  // claim in all (from enough stored bytes): both still reach the decoder.
  const uint32_t mostFromStream = static_cast<uint32_t>(8192 * stream.size());
  const std::vector<uint8_t> enough = PatternBytes(kPackMaxUnpackedBytes / 8192 + 100, 44);
  const std::string pack = "^resource pack \"damaged.kest\" is damaged: ";
  const std::string entry = "^resource \"entry.bin\" in pack \"damaged.kest\" is corrupted: ";
  const std::string claims = pack + "LZMA entry 0 claims ";
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {resized(11), pack + "11 bytes, shorter than its 12-byte header\n$"},
      {{}, pack + "0 bytes, shorter than its 12-byte header\n$"},
      {patched(6, 0xFFFF, 2), pack + "entry count -1 outside 0..100\n$"},
      {patched(6, 0x8000, 2), pack + "entry count -32768 outside 0..100\n$"},
      {patched(6, 101, 2), pack + "entry count 101 outside 0..100\n$"},
      {patched(6, 100, 2), pack + "[0-9]+ bytes, header asks for [0-9]+\n$"},
      {resized(sound.size() + 1), pack + "[0-9]+ bytes, header asks for [0-9]+\n$"},
      {resized(sound.size() - 1), pack + "[0-9]+ bytes, header asks for [0-9]+\n$"},
      {patched(8, 0xFFFFFFF0u), pack + "[0-9]+ bytes, header asks for 4294967[0-9]+\n$"},
      {patched(record1 + 9, 34, 1), pack + "entry 1 name length 34 outside 0..33\n$"},
      {patched(record1 + 9, 0x80, 1), pack + "entry 1 name length -128 outside 0..33\n$"},
      {patched(record1 + 9, 0xFF, 1), pack + "entry 1 name length -1 outside 0..33\n$"},
      {patched(record0, dataSize + 1), pack + "entry 0 stored bytes run past the directory\n$"},
      {patched(record2, 0xFFFFFFFFu), pack + "entry 2 stored bytes run past the directory\n$"},   // wraps 32 bits
      {[&] { auto p = patched(8, dataSize + 1); return p.insert(p.begin() + 12, 0), p; }(),
       pack + "entry sizes add up to " + std::to_string(dataSize) + ", header says [0-9]+\n$"},
      {patched(record1 + 4, 11), pack + "stored entry 1 holds 10 bytes, not 11\n$"},
      {LzmaEntryPack(stream, 0xFFFFFFFFu),
       claims + "4294967295 bytes from " + std::to_string(stream.size()) + " stored\n$"},
      {LzmaEntryPack(stream, mostFromStream + 1), claims + std::to_string(mostFromStream + 1) + " bytes from"},
      {LzmaEntryPack(stream, mostFromStream), entry + "LZMA stream gave 3000 of " + std::to_string(mostFromStream)},
      {LzmaEntryPack(enough, kPackMaxUnpackedBytes + 1),
       pack + "entries claim 67108865 bytes in all, more than 67108864\n$"},
      {LzmaEntryPack(enough, kPackMaxUnpackedBytes), entry},
      {LzmaEntryPack(PatternBytes(12, 41), 100), entry + "12 stored bytes, fewer than the 13-byte LZMA header\n$"},
      {LzmaEntryPack({}, 0), entry + "0 stored bytes, fewer than the 13-byte LZMA header\n$"},
      {LzmaEntryPack(badProperties, 3000), entry + "bad LZMA properties"},
      {LzmaEntryPack(stream, 3001), entry + "LZMA stream gave 3000 of 3001 bytes"},
      {LzmaEntryPack(cut, 3000), entry + "LZMA stream gave [0-9]+ of 3000 bytes"},
      {LzmaEntryPack(headerOnly, 3000), entry + "LZMA stream gave 0 of 3000 bytes"},
      {LzmaEntryPack(garbage, 3000), entry + "LZMA stream gave 0 of 3000 bytes"},
  };
  for (const auto& [bytes, regex] : cases) {
    PackRefusal refusal{};
    EXPECT_EQ(ResourceTable::TryCreateFromPack(bytes, "damaged.kest", refusal), nullptr) << regex;
    EXPECT_TRUE(ContainsMatch(refusal.line, regex)) << refusal.line << " vs " << regex;
  }
  EXPECT_FATAL(ResourceTable::CreateFromPack(resized(11), "damaged.kest"), cases[0].second);
}

// ---------------------------------------------------------------------------
// The resource table

// Each case works in "work" beside "data", the "../data/" of the file
// fallback, with no table installed.
class ResourceTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"data", "work"}) fs::create_directory(dir);
    fs::current_path("work");
    ResourceTable::Release();
  }
  static ResourceTable* Install(const std::vector<PackInput>& entries) {
    ResourceTable::Install(ResourceTable::CreateFromPack(Pack(entries), "test.kest"));
    return ResourceTable::Instance();
  }
};

// The directories a program adds come after "./" and "../data/", in the
// order added, each named with or without its final '/'.
TEST_F(ResourceTableTest, LooksInThePackThenDotSlashThenDotDotDataThenAddedDirectories) {
  ResourceTable::AddSearchDirectory("../beside");
  ResourceTable::AddSearchDirectory("../share/");
  ResourceTable* table = Install({{"same.txt", Bytes("pack"), kPackMethodLzma}});
  const std::string places[] = {"./", "../data/", "../beside/", "../share/"};
  const std::pair<const char*, std::string> cases[] = {{"same.txt", "pack"},
                                                       {"both.txt", "./"},
                                                       {"only.txt", "../data/"},
                                                       {"beside.txt", "../beside/"},
                                                       {"share.txt", "../share/"}};
  // Each file is where it must be found and in every place after that one.
  for (const auto& [name, found] : cases) {
    bool write = found == "pack";
    for (const std::string& place : places) {
      fs::create_directories(place);
      write = write || place == found;
      if (write) WriteFile(place + name, Bytes(place));
    }
  }
  for (const auto& [name, found] : cases) EXPECT_EQ(Row(table->Get(name)), Bytes(found)) << name;
  EXPECT_EQ(table->entries[2].data[8], 0);   // a file's row ends in one extra 0 byte
  // The row is read once: the file changing or going changes nothing.
  WriteFile("both.txt", Bytes("changed"));
  fs::remove("../data/only.txt");
  EXPECT_TRUE(&table->Get("both.txt") == &table->entries[1] && &table->Get("only.txt") == &table->entries[2]);
  EXPECT_TRUE(table->count == 5 && Row(table->entries[1]) == Bytes("./"));
}

// Names compare over their first 32 characters. Missing, empty or
// unnameable files, and directories, are no resources, and a table holds at
// most 100 rows: each ends the program with one line.
TEST_F(ResourceTableTest, NamesFilesAndRowsThatEndTheProgram) {
  const std::string x32(32, 'x'), f32(32, 'f');
  std::vector<PackInput> entries = {{x32 + "1", Bytes("packed"), kPackMethodLzma}};
  for (int i = 1; i < 97; ++i) entries.push_back({"entry" + std::to_string(i), Bytes("v"), 0});
  ResourceTable* table = Install(entries);
  EXPECT_EQ(&table->Get((x32 + "2").c_str()), &table->entries[0]);
  EXPECT_EQ(&table->Get("entry5"), &table->entries[5]);
  WriteFile(f32 + "_aaaaaaa", Bytes("seven b"));
  ResourceEntry& row = table->Get((f32 + "_aaaaaaa").c_str());
  EXPECT_EQ(Row(row), Bytes("seven b"));   // the name field does not spill into the size
  EXPECT_EQ(&table->Get((f32 + "_bbbbbbb").c_str()), &row);
  WriteFile("empty.bin", {});
  WriteFile("../data/empty.bin", Bytes("an empty file in ./ does not fall through"));
  fs::create_directories("folder.png");
  WriteFile("../data/folder.png", Bytes("in data"));
  EXPECT_EQ(Row(table->Get("folder.png")), Bytes("in data"));
  // 500 characters of directories, named apart within the first 32 by letter;
  // the path buffer holds 511 characters.
  auto nested = [](char letter, const std::string& file) {
    std::string name;
    for (int i = 0; i < 10; ++i) name += std::string(49, letter) + "/";
    fs::create_directories(name);
    WriteFile(name + file, Bytes("x"));
    return name + file;
  };
  EXPECT_EQ(Row(table->Get(nested('a', "012345678").c_str())), Bytes("x"));   // "./" + 509 characters
  EXPECT_EQ(table->count, 100);
  WriteFile("file101", Bytes("101"));
  EXPECT_FATAL(table->Get("file101"), "^resource table full: cannot add \"file101\" \\(at most 100 resources\\)\n$");
  for (const std::string& name : {std::string("absent.txt"), std::string("empty.bin"), nested('b', "0123456789"),
                                  std::string(31, 'f') + "g"}) {
    EXPECT_FATAL(table->Get(name.c_str()), "^resource \"" + name + "\" not found\n$");
  }
}

// ---------------------------------------------------------------------------
// Bitmaps

std::vector<uint8_t> MakePng(int width, int height, int channels, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> png;
  auto append = [](void* out, void* data, int size) {
    auto& png = *static_cast<std::vector<uint8_t>*>(out);
    png.insert(png.end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  };
  EXPECT_NE(stbi_write_png_to_func(append, &png, width, height, channels, samples.data(), width * channels), 0);
  return png;
}

// Sound PNGs decode into RGB words: rows from the top, grey and alpha too, up
// to 4096 pixels a side. Other image formats, broken chunk structure, more
// than 4096 pixels a side and data that unpacks to more than the header's
// rows are refused before anything of their size is allocated: one line
// naming the resource and the reason, and an 80 x 50 bitmap of zeros.
TEST_F(ResourceTableTest, RefusesAllButSoundPngsCheaply) {
  // Signature, IHDR chunk at 8, one IDAT chunk at 33, 12-byte IEND chunk at the end.
  const std::vector<uint8_t> png = MakePng(2, 3, 3, PatternBytes(18, 5));
  const size_t idatEnd = 33 + 12 + (png[35] << 8 | png[36]);
  auto spliced = [&png](size_t at, size_t erase, const std::vector<uint8_t>& insert) {
    auto p = png;
    p.erase(p.begin() + at, p.begin() + at + erase);
    return p.insert(p.begin() + at, insert.begin(), insert.end()), p;
  };
  auto sized = [](std::vector<uint8_t> p, uint32_t width, uint32_t height) {   // IHDR width, height, big-endian
    for (int k = 0; k < 4; ++k) p[16 + k] = uint8_t(width >> (24 - 8 * k)), p[20 + k] = uint8_t(height >> (24 - 8 * k));
    return p;
  };
  std::vector<uint8_t> pic = {0x53, 0x80, 0xF6, 0x34}, tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  pic.resize(88);
  pic.insert(pic.end(), {'P', 'I', 'C', 'T', 0, 1, 0, 1, 0});   // 1 x 1, no packets
  tga.insert(tga.end(), {0x54, 0x4C, 0x50, 0x50, 24});          // 19540 x 20560 x 24 bits
  std::vector<uint8_t> half = MakePng(16, 16, 3, PatternBytes(768, 5));
  half.resize(half.size() / 2);
  const std::string past = "PNG chunk runs past the end of the file";
  const std::string size = "PNG image size outside 1..4096 pixels a side";
  const struct {
    std::vector<uint8_t> png;
    std::string reason;   // none: decoded
    uint32_t width = 80;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(80 * 50);
  } cases[] = {
      {MakePng(2, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0xF8}), "", 2,
       {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x1011F8}},
      {MakePng(3, 2, 1, {0, 17, 128, 200, 254, 255}), "", 3, {0, 0x111111, 0x808080, 0xC8C8C8, 0xFEFEFE, 0xFFFFFF}},
      {MakePng(1, 1, 4, {10, 20, 30, 40}), "", 1, {0x0A141E}},
      {MakePng(4096, 1, 1, std::vector<uint8_t>(4096, 7)), "", 4096, std::vector<uint32_t>(4096, 0x070707)},
      {Bytes("not a picture"), "not a PNG file"},
      {pic, "not a PNG file"},
      {tga, "not a PNG file"},
      {half, past},
      {spliced(33, 4, {0xFF, 0xFF, 0xFF, 0xF0}), past},   // IDAT length
      {spliced(33, 0, {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E}), "empty PNG IDAT chunk"},
      {spliced(8, 25, {}), "PNG does not start with a 13-byte IHDR"},
      {spliced(33, idatEnd - 33, {}), "PNG without IDAT chunk"},
      {spliced(png.size() - 12, 12, {}), "PNG without IEND chunk"},
      {MakePng(5000, 10, 1, std::vector<uint8_t>(50000)), size},
      {MakePng(1, 4097, 1, std::vector<uint8_t>(4097)), size},
      {sized(png, 1 << 20, 1 << 20), size},
      {sized(MakePng(1024, 1024, 1, std::vector<uint8_t>(1 << 20)), 1, 1),
       "PNG data unpacks to more than its header allows"},
      {sized(png, 3, 3), "not enough pixels"},   // stb_image's own refusals come through
  };
  for (const auto& c : cases) {
    Install({{"image.png", c.png, kPackMethodLzma}});
    testing::internal::CaptureStdout();
    Bitmap* bitmap = LoadBitmap("image.png");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              c.reason.empty() ? "" : "bitmap loading failed! image.png (" + c.reason + ")\n");
    EXPECT_TRUE(bitmap->width == c.width && bitmap->height == c.pixels.size() / c.width) << bitmap->width;
    EXPECT_EQ(std::vector(bitmap->pixels, bitmap->pixels + bitmap->pixelCount), c.pixels) << c.reason;
    ReleaseBitmap(bitmap);
  }
}

}  // namespace
