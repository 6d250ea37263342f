#include "tests/music/test_tracks.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

uint64_t ShapeFrames(const TrackShape& shape) {
  return static_cast<uint64_t>(std::llround(shape.seconds * shape.rate));
}

std::vector<uint8_t> MakeSineMp3(const TrackShape& shape) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, shape.rate);
  lame_set_out_samplerate(lame, shape.rate);
  lame_set_num_channels(lame, shape.channels);
  lame_set_mode(lame, shape.channels == 1 ? MONO : JOINT_STEREO);
  if (shape.variableRate) {
    lame_set_VBR(lame, vbr_default);
  } else {
    lame_set_brate(lame, 128);
  }
  lame_set_quality(lame, 7);
  lame_set_bWriteVbrTag(lame, 1);
  lame_set_write_id3tag_automatic(lame, 0);
  lame_init_params(lame);

  const size_t frames = static_cast<size_t>(ShapeFrames(shape));
  std::vector<short> left(frames), right(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / shape.rate;
    left[i] = static_cast<short>(9000 * std::sin(2 * std::numbers::pi * 440 * t));
    right[i] = static_cast<short>(9000 * std::sin(2 * std::numbers::pi * 660 * t));
  }
  std::vector<uint8_t> mp3(frames * 5 / 4 + 7200 + 16384);
  int written = lame_encode_buffer(lame, left.data(), shape.channels == 2 ? right.data() : nullptr,
                                   static_cast<int>(frames), mp3.data(), static_cast<int>(mp3.size()));
  written += lame_encode_flush(lame, mp3.data() + written, static_cast<int>(mp3.size()) - written);
  mp3.resize(static_cast<size_t>(written));
  // The Info frame is known only at the end; it replaces the placeholder frame
  // the encoder wrote first.
  uint8_t tag[2880];
  const size_t tagBytes = lame_get_lametag_frame(lame, tag, sizeof tag);
  std::memcpy(mp3.data(), tag, tagBytes);
  lame_close(lame);
  return mp3;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t keep) {
  bytes.resize(keep);
  return bytes;
}

std::vector<uint8_t> NoiseBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t state = seed;
  for (uint8_t& byte : out) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

std::vector<uint8_t> WithNoise(std::vector<uint8_t> bytes, size_t at, size_t count, uint32_t seed) {
  const std::vector<uint8_t> noise = NoiseBytes(count, seed);
  std::memcpy(bytes.data() + at, noise.data(), count);
  return bytes;
}

std::vector<uint8_t> WithId3Tags(const std::vector<uint8_t>& bytes, size_t paddingBytes) {
  const char frame[] = "TIT2\0\0\0\x05\0\0\x03tone";  // a title frame: 5 bytes, UTF-8 text "tone"
  const size_t frameBytes = sizeof frame - 1;
  const size_t body = frameBytes + paddingBytes;
  const uint8_t header[10] = {'I', 'D', '3', 4, 0, 0,
                              static_cast<uint8_t>((body >> 21) & 0x7F), static_cast<uint8_t>((body >> 14) & 0x7F),
                              static_cast<uint8_t>((body >> 7) & 0x7F), static_cast<uint8_t>(body & 0x7F)};
  std::vector<uint8_t> out(10 + body + bytes.size() + 128, 0);  // padding and the ID3v1 fields stay 0
  std::memcpy(out.data(), header, 10);
  std::memcpy(out.data() + 10, frame, frameBytes);
  std::memcpy(out.data() + 10 + body, bytes.data(), bytes.size());
  std::memcpy(out.data() + 10 + body + bytes.size(), "TAGtone", 7);
  return out;
}
