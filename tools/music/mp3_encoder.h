// MP3 encoding of the track through libmp3lame: 44.1 kHz stereo, constant
// bit rate, and the LAME/Xing tag in the first frame carrying the encoder
// delay and padding, so that a gapless decoder returns exactly the frames
// that went in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace music {

class Mp3Encoder {
 public:
  Mp3Encoder() = default;
  ~Mp3Encoder();
  Mp3Encoder(const Mp3Encoder&) = delete;
  Mp3Encoder& operator=(const Mp3Encoder&) = delete;

  // Sets up a CBR stream at bitrateKbps (a standard MPEG-1 layer III rate,
  // 32..320). Returns false with a one-line reason in error.
  bool Open(int bitrateKbps, std::string& error);
  // Encodes interleaved stereo frames, full scale +-1.
  bool Encode(const float* interleaved, int64_t frames, std::string& error);
  // Flushes the encoder and returns the whole file: the stream with its
  // first frame replaced by the final LAME tag.
  bool Finish(std::vector<uint8_t>& file, std::string& error);

 private:
  void* lame_ = nullptr;  // lame_global_flags*
  std::vector<uint8_t> stream_;
  std::vector<float> left_, right_;
};

}  // namespace music
