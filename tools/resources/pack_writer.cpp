#include "tools/resources/pack_writer.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>

#include "engine/resources/pack_format.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// The table compares names over their first 32 characters only.
bool SameLookupName(const std::string& a, const std::string& b) {
  return std::strncmp(a.c_str(), b.c_str(), 32) == 0;
}

}  // namespace

bool CompressLzmaAlone(std::span<const uint8_t> data, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) {
    error = "LZMA preset not supported";
    return false;
  }
  // A dictionary larger than the input buys nothing and costs the decoder
  // memory (preset 9 asks for 64 MiB); the encoder rounds it to 2^n or
  // 2^n + 2^(n-1) bytes in the header.
  uint32_t wanted = static_cast<uint32_t>(std::min<size_t>(data.size(), options.dict_size));
  options.dict_size = std::max<uint32_t>(wanted, LZMA_DICT_SIZE_MIN);

  lzma_stream stream = LZMA_STREAM_INIT;
  lzma_ret ret = lzma_alone_encoder(&stream, &options);
  if (ret != LZMA_OK) {
    error = "LZMA encoder set-up failed (code " + std::to_string(ret) + ")";
    return false;
  }
  stream.next_in = data.data();
  stream.avail_in = data.size();
  uint8_t buffer[65536];
  do {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    ret = lzma_code(&stream, LZMA_FINISH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
  } while (ret == LZMA_OK);
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) {
    out.clear();
    error = "LZMA compression failed (code " + std::to_string(ret) + ")";
    return false;
  }
  return true;
}

bool BuildPack(const std::vector<PackInput>& entries, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (entries.size() > static_cast<size_t>(kPackMaxEntries)) {
    error = "too many entries: " + std::to_string(entries.size()) + " (at most " +
            std::to_string(kPackMaxEntries) + ")";
    return false;
  }
  uint64_t unpackedBytes = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].name;
    if (name.empty() || name.size() > static_cast<size_t>(kPackMaxNameLength)) {
      error = "entry name \"" + name + "\" must be 1 to " + std::to_string(kPackMaxNameLength) + " bytes";
      return false;
    }
    if (name.find('\0') != std::string::npos) {
      error = "entry name \"" + name + "\" holds a 0 byte";
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameLookupName(entries[j].name, name)) {
        error = "entry names \"" + entries[j].name + "\" and \"" + name + "\" agree in their first 32 characters";
        return false;
      }
    }
    unpackedBytes += entries[i].bytes.size();
  }
  // The reader refuses a pack claiming more, before it allocates anything.
  if (unpackedBytes > kPackMaxUnpackedBytes) {
    error = "entries add up to " + std::to_string(unpackedBytes) + " bytes (at most " +
            std::to_string(kPackMaxUnpackedBytes) + ")";
    return false;
  }

  std::vector<std::vector<uint8_t>> stored(entries.size());
  uint64_t dataSize = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].method == kPackMethodLzma) {
      std::string reason;
      if (!CompressLzmaAlone(entries[i].bytes, stored[i], reason)) {
        error = "entry \"" + entries[i].name + "\": " + reason;
        return false;
      }
    } else {
      stored[i] = entries[i].bytes;
    }
    dataSize += stored[i].size();
  }
  // At most 64 MiB unpacked, grown by a fraction of a percent where LZMA finds
  // nothing to match: every size fits the 32-bit fields.

  out.reserve(kPackHeaderBytes + dataSize + kPackDirEntryBytes * entries.size());
  out.insert(out.end(), kPackMagic, kPackMagic + 4);
  PutU16(out, kPackVersion);
  PutU16(out, static_cast<uint16_t>(entries.size()));
  PutU32(out, static_cast<uint32_t>(dataSize));
  for (const std::vector<uint8_t>& bytes : stored) out.insert(out.end(), bytes.begin(), bytes.end());
  for (size_t i = 0; i < entries.size(); ++i) {
    PutU32(out, static_cast<uint32_t>(stored[i].size()));
    PutU32(out, static_cast<uint32_t>(entries[i].bytes.size()));
    out.push_back(entries[i].method);
    const std::string& name = entries[i].name;
    out.push_back(static_cast<uint8_t>(name.size()));
    // Unused bytes of the name field are 0 so that packs are reproducible.
    for (int k = 0; k < kPackNameField; ++k) {
      out.push_back(k < static_cast<int>(name.size()) ? MaskNameByte(static_cast<uint8_t>(name[k])) : 0);
    }
  }
  return true;
}
