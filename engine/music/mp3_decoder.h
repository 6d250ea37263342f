// An MP3 held in memory, decoded piece by piece into signed 16-bit PCM at its
// own sample rate and channel count. The bytes are read in place: they must
// stay unchanged and alive until the decoder is closed. Never more than one
// MPEG frame of PCM is held at a time.
#pragma once

#include <cstddef>
#include <cstdint>

struct Mp3Decoder;

enum class Mp3OpenStatus {
  kOk,
  kNotMp3,   // no MPEG audio frame where the data begins
  kDamaged,  // truncated, or the frames break off before the data ends
  kOutOfMemory,
};

struct Mp3Format {
  uint32_t rate;         // frames per second, one of the MPEG rates 8000..48000
  uint32_t channels;     // 1 or 2; samples are interleaved
  uint64_t totalFrames;  // exact PCM frames of the track (encoder delay and padding removed)
};

// Opens bytes[0, size) and scans every frame, so that totalFrames is exact and
// a stream that does not hold together is refused here rather than mid-play.
Mp3OpenStatus OpenMp3Decoder(const uint8_t* bytes, size_t size, Mp3Decoder** decoder, Mp3Format* format);

// Decodes up to `frames` PCM frames into out (frames * channels samples) and
// returns how many it wrote. *finished becomes true once the track has no
// more frames, or when a frame cannot be decoded (the track ends there).
size_t DecodeMp3Frames(Mp3Decoder* decoder, int16_t* out, size_t frames, bool* finished);

// Goes to PCM frame `frame` (0..totalFrames, where totalFrames leaves
// nothing to decode): the next decode gives exactly the samples a decode
// from the start would give there. False when the stream cannot seek.
bool SeekMp3Decoder(Mp3Decoder* decoder, uint64_t frame);

void CloseMp3Decoder(Mp3Decoder* decoder);
