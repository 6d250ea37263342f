// Shared helpers of the resources tests: a scratch "work" + "data" directory
// pair for the file fallback, pack building and patching, PNG making.
#pragma once

#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/resources/pack_format.h"
#include "engine/resources/resource_table.h"
#include "tools/resources/pack_writer.h"

// Runs statement in a death test child and expects exit code -1 with a line
// on standard output matching regex (stdout is folded into stderr first so
// that the death test can see it).
#define EXPECT_FATAL(statement, regex)                  \
  EXPECT_EXIT(                                          \
      {                                                 \
        dup2(STDERR_FILENO, STDOUT_FILENO);             \
        statement;                                      \
      },                                                \
      ::testing::ExitedWithCode(255), regex)

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Varied bytes with long repeats, so LZMA has matches to find: count bytes.
inline std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t state = seed;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    out[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(i) : static_cast<uint8_t>(state >> 24);
  }
  return out;
}

inline std::vector<uint8_t> BuildPackOrFail(const std::vector<PackInput>& entries) {
  std::vector<uint8_t> pack;
  std::string error;
  EXPECT_TRUE(BuildPack(entries, pack, error)) << error;
  return pack;
}

inline uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
         (uint32_t{bytes[at + 3]} << 24);
}

inline void WriteLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

inline void WriteLe16(std::vector<uint8_t>& bytes, size_t at, uint16_t v) {
  bytes[at] = static_cast<uint8_t>(v);
  bytes[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Byte offset of directory record i, found from the end as the reader does.
inline size_t DirRecordAt(const std::vector<uint8_t>& pack, int i) {
  int count = static_cast<int16_t>(pack[6] | (pack[7] << 8));
  return pack.size() - kPackDirEntryBytes * static_cast<size_t>(count - i);
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  }
  ASSERT_EQ(std::fclose(file), 0);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  return bytes;
}

// PNG bytes of a width x height image with components channels per pixel.
inline std::vector<uint8_t> MakePng(int width, int height, int components, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> png;
  auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    auto* bytes = static_cast<uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
  };
  int ok = stbi_write_png_to_func(append, &png, width, height, components, samples.data(), width * components);
  EXPECT_NE(ok, 0);
  return png;
}

// Each test runs in its own scratch/work directory, with scratch/data as the
// "../data/" of the file fallback; no table is installed before or after.
class ResourceFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResourceTable::Release();
    oldCwd_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "lumen_resources.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ / "work");
    std::filesystem::create_directories(root_ / "data");
    std::filesystem::current_path(root_ / "work");
  }

  void TearDown() override {
    ResourceTable::Release();
    std::filesystem::current_path(oldCwd_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Installs the table of a pack built from entries.
  ResourceTable* InstallPack(const std::vector<PackInput>& entries) {
    std::vector<uint8_t> pack = BuildPackOrFail(entries);
    ResourceTable* table = ResourceTable::CreateFromPack(pack, "test.kest");
    ResourceTable::Install(table);
    return table;
  }

  std::filesystem::path oldCwd_;
  std::filesystem::path root_;
};
