// Short MP3s made at test time with LAME: a sine at a given rate, channel
// count and bit-rate mode, with the encoder's Info frame (frame count,
// delay and padding) in front so that decoders can cut the exact length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TrackShape {
  double seconds;     // length of the music, s
  int rate;           // samples per second and channel
  int channels;       // 1 or 2
  bool variableRate;  // VBR instead of 128 kbit/s CBR
};

std::vector<uint8_t> MakeSineMp3(const TrackShape& shape);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
