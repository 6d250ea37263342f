// Named byte blobs: the embedded pack's entries, then files read on demand
// from "./" or "../data/". One table exists; rows are never removed before
// shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/resources/pack_format.h"

constexpr int kResourceRows = 100;
constexpr int kResourceNameField = 32;

struct ResourceEntry {
  char name[kResourceNameField];  // compared over at most 32 characters
  uint32_t size;                  // bytes, not counting a file's trailing 0
  uint8_t* data;                  // malloc'd; file resources carry one extra 0 byte
};

// Short-lived reader of a pack image, used while the table is built.
struct PackReader {
  char packName[32];
  char magic[4];
  uint16_t version;
  int16_t entryCount;
  uint32_t dataSize;
  uint8_t* entryBytes[kPackMaxEntries];
  PackDirEntry directory[kPackMaxEntries];

  PackReader();  // "qx3.kest", "KEST", 324, no entries
  // Copies the header, directory (names unmasked) and every entry's stored
  // bytes (malloc'd), first freeing stored bytes still held from an earlier
  // Load. A pack that does not hold together ends the program naming it.
  void Load(std::span<const uint8_t> pack);
  // Empties the 100 slots. Frees nothing: whoever took the stored bytes (the
  // table creation frees each once unpacked) owns them.
  void Clear();
};

struct ResourceTable {
  ResourceEntry entries[kResourceRows];
  int32_t count;

  // The row of name (compared over 32 characters), reading "./name" or
  // "../data/name" into a new row when the table lacks it; ends the program
  // when the resource exists nowhere, is empty or unreadable, or when the
  // table already holds 100 rows.
  ResourceEntry& Get(const char* name);

  // The table of the embedded pack, created on first use.
  static ResourceTable* Instance();
  // Frees every row's bytes, then the table; the next Instance builds anew.
  static void Release();

  // A table unpacked from the given pack image; not the instance.
  static ResourceTable* CreateFromPack(std::span<const uint8_t> pack, const char* packName);
  // Makes table the instance (releasing the previous one); for tools and tests.
  static void Install(ResourceTable* table);
  static void Destroy(ResourceTable* table);
};
