// The MP3 side: the encoder's output decodes gaplessly to exactly the frames
// that went in, and the track the build ships ("qx3.mp3" in the show's data
// directory) decodes through the player's own decoder to the track's length.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/music/mp3_decoder.h"
#include "tools/music/mp3_encoder.h"
#include "tools/music/track.h"

namespace {

using namespace music;

struct Decoded {
  Mp3OpenStatus status = Mp3OpenStatus::kNotMp3;
  Mp3Format format{};
  std::vector<int16_t> pcm;  // interleaved
};

Decoded DecodeAll(const std::vector<uint8_t>& bytes) {
  Decoded d;
  Mp3Decoder* decoder = nullptr;
  d.status = OpenMp3Decoder(bytes.data(), bytes.size(), &decoder, &d.format);
  if (d.status != Mp3OpenStatus::kOk) return d;
  std::vector<int16_t> buffer(4096 * d.format.channels);
  bool finished = false;
  while (!finished) {
    const size_t n = DecodeMp3Frames(decoder, buffer.data(), 4096, &finished);
    d.pcm.insert(d.pcm.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n * d.format.channels));
  }
  CloseMp3Decoder(decoder);
  return d;
}

// Signal-to-noise ratio in dB of decoded 16-bit samples against the float
// original, sample for sample (no alignment search: gapless decoding must
// line up exactly).
double SnrDb(const float* original, const int16_t* decoded, size_t samples) {
  double signal = 0.0, noise = 0.0;
  for (size_t i = 0; i < samples; ++i) {
    const double x = original[i];
    const double e = decoded[i] / 32768.0 - x;
    signal += x * x;
    noise += e * e;
  }
  return 10.0 * std::log10(signal / (noise + 1e-30));
}

// MPEG-1 layer III bit rates by header index, kbit/s.
constexpr int kLayer3Rates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};

struct FrameWalk {
  bool ok = false;
  int frames = 0;
  int bitrate = 0;  // kbit/s when all frames agree, else -1
  bool infoTag = false;  // the first frame is the encoder's "Info" (CBR) tag with a LAME section
};

// Walks the stream frame by frame from its first byte (no ID3 tag expected):
// every frame must be MPEG-1 layer III at 44.1 kHz, stereo or joint stereo.
FrameWalk WalkFrames(const std::vector<uint8_t>& bytes) {
  FrameWalk w;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    const uint8_t* h = bytes.data() + at;
    if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA) return w;  // sync, MPEG-1, layer III
    const int rate = kLayer3Rates[h[2] >> 4];
    if (((h[2] >> 2) & 3) != 0 || rate <= 0) return w;  // 44.1 kHz and a valid rate
    if ((h[3] >> 6) == 3) return w;                    // mono
    const size_t size = 144 * 1000 * static_cast<size_t>(rate) / 44100 + ((h[2] >> 1) & 1);
    if (w.frames == 0) {
      // The tag follows the 32 bytes of side information of a stereo frame.
      static const uint8_t kLame[4] = {'L', 'A', 'M', 'E'};
      const uint8_t* end = h + std::min(size, bytes.size() - at);
      w.infoTag = end - h >= 4 + 32 + 4 && std::memcmp(h + 4 + 32, "Info", 4) == 0 &&
                  std::search(h, end, kLame, kLame + 4) != end;
      w.bitrate = rate;
    } else if (w.bitrate != rate) {
      w.bitrate = -1;
    }
    ++w.frames;
    at += size;
  }
  w.ok = at == bytes.size();
  return w;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(MusicMp3Encoder, RoundTripIsGaplessAndFaithful) {
  // 1.3 s of the track's intro build (bell, pad, arpeggio): a length that is
  // not a whole number of MP3 frames.
  const int64_t frames = 57331;
  const std::vector<float> pcm = RenderShowFrames(static_cast<int64_t>(8.0 * kSampleRate), frames);
  Mp3Encoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.Open(192, error)) << error;
  ASSERT_TRUE(encoder.Encode(pcm.data(), 1000, error)) << error;  // in uneven pieces
  ASSERT_TRUE(encoder.Encode(pcm.data() + 2000, frames - 1000, error)) << error;
  std::vector<uint8_t> file;
  ASSERT_TRUE(encoder.Finish(file, error)) << error;

  const FrameWalk walk = WalkFrames(file);
  EXPECT_TRUE(walk.ok);
  EXPECT_TRUE(walk.infoTag);
  EXPECT_EQ(walk.bitrate, 192);

  const Decoded d = DecodeAll(file);
  ASSERT_EQ(d.status, Mp3OpenStatus::kOk);
  EXPECT_EQ(d.format.rate, 44100u);
  EXPECT_EQ(d.format.channels, 2u);
  EXPECT_EQ(d.format.totalFrames, static_cast<uint64_t>(frames));
  ASSERT_EQ(d.pcm.size(), static_cast<size_t>(2 * frames));
  EXPECT_GT(SnrDb(pcm.data(), d.pcm.data(), d.pcm.size()), 20.0);
}

TEST(MusicMp3Encoder, RefusesBadUse) {
  std::string error;
  Mp3Encoder encoder;
  float silence[4] = {};
  EXPECT_FALSE(encoder.Encode(silence, 2, error));
  EXPECT_FALSE(error.empty());
  error.clear();
  std::vector<uint8_t> file;
  EXPECT_FALSE(encoder.Finish(file, error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(encoder.Open(150, error));  // not an MPEG-1 layer III rate
  EXPECT_NE(error.find("150"), std::string::npos);
  error.clear();
  EXPECT_TRUE(encoder.Open(160, error)) << error;
  EXPECT_FALSE(encoder.Open(160, error));  // already open
}

TEST(ShippedTrack, DecodesToTheTracksExactLength) {
  const char* dir = std::getenv("LUMEN_SHOW_DATA_DIR");
  ASSERT_NE(dir, nullptr) << "LUMEN_SHOW_DATA_DIR is not set";
  const std::string path = std::string(dir) + "/qx3.mp3";
  const std::vector<uint8_t> file = ReadFile(path);
  ASSERT_FALSE(file.empty()) << "cannot read " << path << " (the build's soundtrack target makes it)";

  // Constant bit rate of at least 160 kbit/s, with the gapless tag.
  const FrameWalk walk = WalkFrames(file);
  EXPECT_TRUE(walk.ok);
  EXPECT_TRUE(walk.infoTag);
  EXPECT_GE(walk.bitrate, 160);

  const Decoded d = DecodeAll(file);
  ASSERT_EQ(d.status, Mp3OpenStatus::kOk);
  EXPECT_EQ(d.format.rate, 44100u);
  EXPECT_EQ(d.format.channels, 2u);
  const double seconds = static_cast<double>(d.format.totalFrames) / 44100.0;
  EXPECT_GE(seconds, 200.0);
  EXPECT_LE(seconds, 201.0);
  EXPECT_EQ(d.format.totalFrames, static_cast<uint64_t>(kTrackFrames));
  ASSERT_EQ(d.pcm.size(), static_cast<size_t>(2 * kTrackFrames));

  // Still no clipping after encoding: at or below -1 dBFS.
  int peak = 0;
  for (int16_t v : d.pcm) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_LE(20.0 * std::log10(peak / 32768.0), -1.0);

  // It is this generator's track, aligned to the sample: the first 12 s
  // (silence into the intro) match a fresh render.
  const int64_t check = static_cast<int64_t>(12 * kSampleRate);
  const std::vector<float> fresh = RenderShowFrames(0, check);
  EXPECT_GT(SnrDb(fresh.data(), d.pcm.data(), fresh.size()), 20.0);
}

}  // namespace
