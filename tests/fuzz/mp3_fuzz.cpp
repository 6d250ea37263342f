// The MP3 opener on any bytes, and a stream it takes decoded to its end,
// rewound and decoded again: the format must be one the player can play and
// the decoder must never hand out more frames than the opener counted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/music/mp3_decoder.h"

namespace {

// PCM frames that one pass decodes, or more than totalFrames on a fault.
uint64_t DecodeAll(Mp3Decoder* decoder, uint64_t totalFrames) {
  static int16_t pcm[2 * 1152];
  uint64_t frames = 0;
  bool finished = false;
  while (!finished && frames <= totalFrames) {
    frames += DecodeMp3Frames(decoder, pcm, 1152, &finished);
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  if (OpenMp3Decoder(data, size, &decoder, &format) != Mp3OpenStatus::kOk) {
    if (decoder != nullptr) std::abort();
    return 0;
  }
  if (format.rate < 8000 || format.rate > 48000 || format.channels < 1 || format.channels > 2) std::abort();
  const uint64_t first = DecodeAll(decoder, format.totalFrames);
  if (first > format.totalFrames) std::abort();
  if (SeekMp3Decoder(decoder, 0) && DecodeAll(decoder, format.totalFrames) != first) std::abort();
  CloseMp3Decoder(decoder);
  return 0;
}
