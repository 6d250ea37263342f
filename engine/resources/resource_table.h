// Named byte blobs: the embedded pack's entries, then files read on demand
// from "./", "../data/" or a directory the program adds (beside itself, its
// installed data directory). One table exists; rows are never removed before
// shutdown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/resources/pack_format.h"

constexpr int kResourceRows = 100;
constexpr int kResourceNameField = 32;
constexpr int kResourceSearchDirectories = 4;

struct ResourceEntry {
  char name[kResourceNameField];  // compared over at most 32 characters
  uint32_t size;                  // bytes, not counting a file's trailing 0
  uint8_t* data;                  // malloc'd; file resources carry one extra 0 byte
};

// Why a pack or one of its entries was refused: the one line, newline
// included, that ends the program when a pack is refused.
struct PackRefusal {
  char line[256];
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
  // Load. A pack that does not hold together, or whose entries claim to
  // unpack to more than kPackMaxUnpackedBytes in all or an LZMA entry to more
  // than kLzmaMaxRatio times its stored bytes, is refused before anything is
  // allocated: false, the reader left empty, the reason in refusal.
  bool Load(std::span<const uint8_t> pack, PackRefusal& refusal);
  // Empties the 100 slots. Frees nothing: whoever took the stored bytes (the
  // table creation frees each once unpacked) owns them.
  void Clear();
};

struct ResourceTable {
  ResourceEntry entries[kResourceRows];
  int32_t count;

  // The row of name (compared over 32 characters), reading the first of
  // "./name", "../data/name" and "<directory>/name" for each added directory
  // in the order added, into a new row when the table lacks it; ends the
  // program when the resource exists nowhere, is empty or unreadable, or when
  // the table already holds 100 rows.
  ResourceEntry& Get(const char* name);

  // Adds a directory (relative to the working directory, or absolute) to
  // look in after "./" and "../data/", for every table of the process; the
  // engine finds none itself, a program's main names them. An empty path,
  // one beyond the first kResourceSearchDirectories, or one of 500 characters
  // or more with its final '/' (too long to name a file in) is ignored.
  static void AddSearchDirectory(const char* directory);

  // The table of the embedded pack, created on first use.
  static ResourceTable* Instance();
  // Frees every row's bytes, then the table; the next Instance builds anew.
  static void Release();

  // A table unpacked from the given pack image; not the instance. A refused
  // pack or entry (see TryCreateFromPack) ends the program with its line.
  static ResourceTable* CreateFromPack(std::span<const uint8_t> pack, const char* packName);
  // As CreateFromPack, but a pack that PackReader::Load refuses, or an LZMA
  // entry that does not unpack to its size, gives null with the reason in
  // refusal, everything freed. Only running out of memory ends the program.
  static ResourceTable* TryCreateFromPack(std::span<const uint8_t> pack, const char* packName,
                                          PackRefusal& refusal);
  // Makes table the instance (releasing the previous one); for tools and tests.
  static void Install(ResourceTable* table);
  static void Destroy(ResourceTable* table);
};
