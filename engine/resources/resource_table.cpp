#include "engine/resources/resource_table.h"

#include <lzma.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/core/fatal.h"
#include "engine/resources/embedded_pack.h"

namespace {

ResourceTable* gTable = nullptr;

constexpr const char kShowPackName[] = "qx3.kest";
constexpr size_t kPathBytes = 512;
constexpr size_t kDirectoryBytes = 500;

// The directories added by the program, each ending in '/'.
char gSearchDirectories[kResourceSearchDirectories][kDirectoryBytes];
int gSearchDirectoryCount = 0;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Fills refusal with one printf-formatted line; false, for the caller to return.
LUMEN_PRINTF(2, 3) bool Refuse(PackRefusal& refusal, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(refusal.line, sizeof refusal.line, format, args);
  va_end(args);
  return false;
}

// malloc that never hands back null: a pack entry or file the machine cannot
// hold is as fatal as a missing one. Zero bytes still give a real block.
uint8_t* AllocateBytes(size_t bytes, const char* name) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) Fatal("out of memory loading resource \"%s\" (%zu bytes)\n", name, bytes);
  return static_cast<uint8_t*>(block);
}

// Unpacks a method-1 entry: 5 property bytes, 8 size bytes (ignored: the
// directory's size is what counts), then the raw LZMA stream, which may or
// may not end with an end marker. Decoding stops once size bytes are out;
// anything less, or a decoder error before that, is a corrupted entry.
bool DecodeLzmaEntry(const char* packName, const char* entryName, const uint8_t* stored, uint32_t storedSize,
                     uint8_t* out, uint32_t size, PackRefusal& refusal) {
  if (storedSize < kLzmaHeaderBytes) {
    return Refuse(refusal,
                  "resource \"%s\" in pack \"%s\" is corrupted: %u stored bytes, fewer than the %zu-byte LZMA header\n",
                  entryName, packName, storedSize, kLzmaHeaderBytes);
  }
  lzma_filter filters[2];
  filters[0].id = LZMA_FILTER_LZMA1;
  filters[0].options = nullptr;
  filters[1].id = LZMA_VLI_UNKNOWN;
  filters[1].options = nullptr;
  lzma_ret ret = lzma_properties_decode(&filters[0], nullptr, stored, kLzmaPropsBytes);
  if (ret != LZMA_OK) {
    return Refuse(refusal, "resource \"%s\" in pack \"%s\" is corrupted: bad LZMA properties (code %d)\n",
                  entryName, packName, static_cast<int>(ret));
  }
  // Every match reaches back less than size bytes, so a dictionary of size
  // bytes decodes the same; it spares allocating the full encoder dictionary.
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  options->dict_size = std::max<uint32_t>(std::min(options->dict_size, size), LZMA_DICT_SIZE_MIN);

  lzma_stream stream = LZMA_STREAM_INIT;
  ret = lzma_raw_decoder(&stream, filters);
  std::free(filters[0].options);
  if (ret != LZMA_OK) {
    lzma_end(&stream);
    return Refuse(refusal, "resource \"%s\" in pack \"%s\" is corrupted: LZMA decoder set-up failed (code %d)\n",
                  entryName, packName, static_cast<int>(ret));
  }
  stream.next_in = stored + kLzmaHeaderBytes;
  stream.avail_in = storedSize - kLzmaHeaderBytes;
  stream.next_out = out;
  stream.avail_out = size;
  while (stream.avail_out > 0) {
    ret = lzma_code(&stream, LZMA_FINISH);
    if (ret != LZMA_OK) break;  // early end of stream, no progress, or an error
  }
  size_t produced = size - stream.avail_out;
  lzma_end(&stream);
  if (produced < size) {
    return Refuse(refusal, "resource \"%s\" in pack \"%s\" is corrupted: LZMA stream gave %zu of %u bytes (code %d)\n",
                  entryName, packName, produced, size, static_cast<int>(ret));
  }
  return true;
}

// Opens "<prefix><name>" for reading; null when the path does not fit the
// 512-byte buffer (such a file cannot be named), cannot be opened, or is a
// directory (which some C libraries open but nobody can read).
std::FILE* OpenResourceFile(const char* prefix, const char* name) {
  char path[kPathBytes];
  int length = std::snprintf(path, sizeof path, "%s%s", prefix, name);
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) return nullptr;
  std::FILE* file = std::fopen(path, "rb");
  std::error_code ignored;
  if (file != nullptr && std::filesystem::is_directory(path, ignored)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

[[noreturn]] void NotFound(const char* name) { Fatal("resource \"%s\" not found\n", name); }

}  // namespace

PackReader::PackReader() : packName{}, magic{}, version(kPackVersion), entryCount(0), dataSize(0), entryBytes{},
                           directory{} {
  std::snprintf(packName, sizeof packName, "%s", kShowPackName);
  std::memcpy(magic, kPackMagic, sizeof magic);
}

bool PackReader::Load(std::span<const uint8_t> pack, PackRefusal& refusal) {
  // Stored bytes still held from an earlier load belong to nobody else.
  for (uint8_t*& bytes : entryBytes) {
    std::free(bytes);
    bytes = nullptr;
  }
  if (entryCount > 0) Clear();

  // Everything is checked before anything is allocated or copied: a pack
  // that does not hold together must never lead to a read outside it, nor
  // its directory to an allocation it cannot fill.
  const uint64_t packBytes = pack.size();
  if (packBytes < kPackHeaderBytes) {
    return Refuse(refusal, "resource pack \"%s\" is damaged: %llu bytes, shorter than its %zu-byte header\n", packName,
                  static_cast<unsigned long long>(packBytes), kPackHeaderBytes);
  }
  const uint8_t* base = pack.data();
  const int16_t count = static_cast<int16_t>(ReadU16(base + 6));
  const uint32_t headerDataSize = ReadU32(base + 8);
  if (count < 0 || count > kPackMaxEntries) {
    return Refuse(refusal, "resource pack \"%s\" is damaged: entry count %d outside 0..%d\n", packName, count,
                  kPackMaxEntries);
  }
  const uint64_t expectedBytes = kPackHeaderBytes + uint64_t{headerDataSize} + kPackDirEntryBytes * count;
  if (packBytes != expectedBytes) {
    return Refuse(refusal, "resource pack \"%s\" is damaged: %llu bytes, header asks for %llu\n", packName,
                  static_cast<unsigned long long>(packBytes), static_cast<unsigned long long>(expectedBytes));
  }
  PackDirEntry records[kPackMaxEntries];
  uint64_t offset = kPackHeaderBytes;
  uint64_t unpackedBytes = 0;
  const uint64_t dataEnd = kPackHeaderBytes + uint64_t{headerDataSize};
  for (int i = 0; i < count; ++i) {
    PackDirEntry& record = records[i];
    std::memcpy(&record, base + packBytes - kPackDirEntryBytes * (count - i), kPackDirEntryBytes);
    if (record.nameLength < 0 || record.nameLength > kPackMaxNameLength) {
      return Refuse(refusal, "resource pack \"%s\" is damaged: entry %d name length %d outside 0..%d\n", packName, i,
                    record.nameLength, kPackMaxNameLength);
    }
    if (offset + record.storedSize > dataEnd) {
      return Refuse(refusal, "resource pack \"%s\" is damaged: entry %d stored bytes run past the directory\n",
                    packName, i);
    }
    if (record.method != kPackMethodLzma && record.size != record.storedSize) {
      return Refuse(refusal, "resource pack \"%s\" is damaged: stored entry %d holds %u bytes, not %u\n", packName,
                    i, record.storedSize, record.size);
    }
    if (record.method == kPackMethodLzma && record.size > kLzmaMaxRatio * record.storedSize) {
      return Refuse(refusal, "resource pack \"%s\" is damaged: LZMA entry %d claims %u bytes from %u stored\n",
                    packName, i, record.size, record.storedSize);
    }
    offset += record.storedSize;
    unpackedBytes += record.size;
  }
  if (offset != dataEnd) {
    return Refuse(refusal, "resource pack \"%s\" is damaged: entry sizes add up to %llu, header says %u\n", packName,
                  static_cast<unsigned long long>(offset - kPackHeaderBytes), headerDataSize);
  }
  if (unpackedBytes > kPackMaxUnpackedBytes) {
    return Refuse(refusal, "resource pack \"%s\" is damaged: entries claim %llu bytes in all, more than %llu\n",
                  packName, static_cast<unsigned long long>(unpackedBytes),
                  static_cast<unsigned long long>(kPackMaxUnpackedBytes));
  }

  std::memcpy(magic, base, sizeof magic);
  version = ReadU16(base + 4);
  entryCount = count;
  dataSize = headerDataSize;
  offset = kPackHeaderBytes;
  for (int i = 0; i < entryCount; ++i) {
    directory[i] = records[i];
    PackDirEntry& record = directory[i];
    for (int k = 0; k < record.nameLength; ++k) {
      record.name[k] = static_cast<char>(UnmaskNameByte(static_cast<uint8_t>(record.name[k])));
    }
    record.name[record.nameLength] = '\0';  // nameLength <= 33 < 34
    entryBytes[i] = AllocateBytes(record.storedSize, record.name);
    if (record.storedSize > 0) std::memcpy(entryBytes[i], base + offset, record.storedSize);
    offset += record.storedSize;
  }
  return true;
}

void PackReader::Clear() {
  for (int i = 0; i < kPackMaxEntries; ++i) {
    entryBytes[i] = nullptr;
    directory[i].storedSize = 0;
    directory[i].size = 0;
    directory[i].name[0] = '\0';
  }
  entryCount = 0;
  dataSize = 0;
}

ResourceTable* ResourceTable::CreateFromPack(std::span<const uint8_t> pack, const char* packName) {
  PackRefusal refusal;
  ResourceTable* table = TryCreateFromPack(pack, packName, refusal);
  if (table == nullptr) Fatal("%s", refusal.line);
  return table;
}

ResourceTable* ResourceTable::TryCreateFromPack(std::span<const uint8_t> pack, const char* packName,
                                                PackRefusal& refusal) {
  auto* reader = new PackReader();
  std::snprintf(reader->packName, sizeof reader->packName, "%s", packName);
  if (!reader->Load(pack, refusal)) {
    delete reader;
    return nullptr;
  }

  auto* table = new ResourceTable();
  bool unpacked = true;
  for (int i = 0; i < reader->entryCount && unpacked; ++i) {
    const PackDirEntry& record = reader->directory[i];
    ResourceEntry& row = table->entries[i];
    // A 33-character name keeps its first 32 here; lookups compare no further.
    std::strncpy(row.name, record.name, kResourceNameField);
    row.size = record.size;
    row.data = AllocateBytes(record.size, record.name);
    table->count = i + 1;
    if (record.method == kPackMethodLzma) {
      unpacked = DecodeLzmaEntry(reader->packName, record.name, reader->entryBytes[i], record.storedSize, row.data,
                                 record.size, refusal);
    } else if (record.size > 0) {
      std::memcpy(row.data, reader->entryBytes[i], record.size);  // size == storedSize, checked by Load
    }
    std::free(reader->entryBytes[i]);
    reader->entryBytes[i] = nullptr;
  }
  // What a refused entry left unread.
  for (int i = 0; i < reader->entryCount; ++i) std::free(reader->entryBytes[i]);
  reader->Clear();
  delete reader;
  if (!unpacked) {
    Destroy(table);
    return nullptr;
  }
  return table;
}

ResourceEntry& ResourceTable::Get(const char* name) {
  for (int i = 0; i < count; ++i) {
    if (std::strncmp(name, entries[i].name, kResourceNameField) == 0) return entries[i];
  }

  std::FILE* file = OpenResourceFile("./", name);
  if (file == nullptr) file = OpenResourceFile("../data/", name);
  for (int i = 0; file == nullptr && i < gSearchDirectoryCount; ++i) {
    file = OpenResourceFile(gSearchDirectories[i], name);
  }
  if (file == nullptr) NotFound(name);

  // One open, one measurement: the row's size and its bytes always agree.
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length <= 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    NotFound(name);
  }
  if (static_cast<unsigned long>(length) >= UINT32_MAX) {
    std::fclose(file);
    Fatal("resource \"%s\" is too large (%ld bytes)\n", name, length);
  }
  if (count >= kResourceRows) {
    std::fclose(file);
    Fatal("resource table full: cannot add \"%s\" (at most %d resources)\n", name, kResourceRows);
  }
  const size_t bytes = static_cast<size_t>(length);
  uint8_t* data = AllocateBytes(bytes + 1, name);
  std::memset(data, 0, bytes + 1);  // the extra byte lets text readers stop at a 0
  const size_t got = std::fread(data, 1, bytes, file);
  std::fclose(file);
  if (got != bytes) {
    std::free(data);
    NotFound(name);
  }

  ResourceEntry& row = entries[count];
  ++count;
  std::strncpy(row.name, name, kResourceNameField);
  row.size = static_cast<uint32_t>(bytes);
  row.data = data;
  return row;
}

void ResourceTable::AddSearchDirectory(const char* directory) {
  const size_t length = std::strlen(directory);
  if (length == 0 || gSearchDirectoryCount == kResourceSearchDirectories) return;
  const bool ended = (directory[length - 1] == '/' || directory[length - 1] == '\\');
  char* slot = gSearchDirectories[gSearchDirectoryCount];
  const int written = std::snprintf(slot, kDirectoryBytes, "%s%s", directory, ended ? "" : "/");
  if (written > 0 && static_cast<size_t>(written) < kDirectoryBytes) ++gSearchDirectoryCount;
}

ResourceTable* ResourceTable::Instance() {
  if (gTable == nullptr) gTable = CreateFromPack(EmbeddedPack(), kShowPackName);
  return gTable;
}

void ResourceTable::Release() {
  Destroy(gTable);
  gTable = nullptr;
}

void ResourceTable::Install(ResourceTable* table) {
  if (gTable != table) Destroy(gTable);
  gTable = table;
}

void ResourceTable::Destroy(ResourceTable* table) {
  if (table == nullptr) return;
  for (int i = 0; i < table->count; ++i) std::free(table->entries[i].data);
  delete table;
}
