// The resource pack "qx3.kest", all integers little-endian:
//
//   offset 0   4 bytes   magic "KEST"
//          4   2         version, 324
//          6   2         entryCount N, signed
//          8   4         dataSize: sum of all storedSize
//         12   dataSize  stored bytes of entry 0, 1, ... without gaps
//   12+dataSize 44 x N   directory; record i starts 44 (N - i) bytes before the end
//
// Directory record (44 bytes): storedSize u32, size u32, method u8
// (1 = LZMA "alone": 5 property bytes, 8 size bytes not read, raw stream from
// byte 13; other = stored), nameLength s8, name[34] with each byte stored as
// (byte + 128) mod 256.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kPackMagic[4] = {'K', 'E', 'S', 'T'};
constexpr uint16_t kPackVersion = 324;
constexpr size_t kPackHeaderBytes = 12;
constexpr size_t kPackDirEntryBytes = 44;
constexpr int kPackMaxEntries = 100;
constexpr int kPackNameField = 34;
constexpr int kPackMaxNameLength = 33;   // one byte of the field holds the terminator
constexpr uint8_t kPackMethodLzma = 1;
constexpr uint8_t kPackMethodStored = 0;
constexpr size_t kLzmaPropsBytes = 5;
constexpr size_t kLzmaHeaderBytes = 13;   // props + 64-bit unpacked size
// Bytes all entries of a pack may unpack to together (the show's come to
// under 1 MiB): the reader refuses a directory that claims more before it
// allocates anything, and the writer refuses to build such a pack.
constexpr uint64_t kPackMaxUnpackedBytes = uint64_t{64} << 20;
// An LZMA entry unpacks to at most this many times its stored bytes. LZMA
// cannot do better than about 7100 to 1: its longest match, 273 bytes, takes
// 14 binary decisions, none costing less than 0.022 bits.
constexpr uint64_t kLzmaMaxRatio = 8192;

struct PackDirEntry {
  uint32_t storedSize;
  uint32_t size;
  uint8_t method;
  int8_t nameLength;
  char name[kPackNameField];
};
static_assert(sizeof(PackDirEntry) == kPackDirEntryBytes, "directory record is 44 bytes");

inline uint8_t MaskNameByte(uint8_t b) { return static_cast<uint8_t>(b + 128); }
inline uint8_t UnmaskNameByte(uint8_t b) { return static_cast<uint8_t>(b - 128); }
