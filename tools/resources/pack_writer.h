// Builds resource pack images in the engine's pack layout (see
// engine/resources/pack_format.h). Build-time tool code: never links the engine.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct PackInput {
  std::string name;            // 1..33 bytes; stored masked
  std::vector<uint8_t> bytes;  // the resource's unpacked bytes
  uint8_t method;              // kPackMethodLzma compresses; any other value stores as is
};

// The pack image of entries in the given order: header, entry data, directory.
// Returns false with a one-line reason in error (and out left empty) for an
// empty or over-long name, two names that agree in their first 32 characters
// (the second could never be looked up), more than 100 entries, or entries
// that add up to more than the reader takes (kPackMaxUnpackedBytes).
bool BuildPack(const std::vector<PackInput>& entries, std::vector<uint8_t>& out, std::string& error);

// The LZMA "alone" stream of data: 5 property bytes, the 64-bit unpacked size
// field (all ones: unknown, the stream ends with an end marker), then the raw
// stream. Deterministic for given bytes. Returns false with a reason on a
// compressor failure.
bool CompressLzmaAlone(std::span<const uint8_t> data, std::vector<uint8_t>& out, std::string& error);
