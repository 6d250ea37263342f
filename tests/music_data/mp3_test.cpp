// The MP3 side: the encoder's output is the same bytes every time, and the
// track the build ships ("qx3.mp3" in the show's data directory, encoded in
// uneven one-second pieces, not a whole number of MP3 frames long) decodes
// through the player's own decoder gaplessly to exactly the track's frames,
// without clipping. And make_soundtrack's command line (a successful run is
// what the build does).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/music/mp3_decoder.h"
#include "tests/support/run_tool.h"
#include "tools/music/mp3_encoder.h"
#include "tools/music/track.h"

namespace {

using namespace music;

// The whole stream through the player's decoder: its format and its samples.
std::pair<Mp3Format, std::vector<int16_t>> DecodeAll(const void* bytes, size_t size) {
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  std::vector<int16_t> pcm, buffer(2 * 4096);
  EXPECT_EQ(OpenMp3Decoder(static_cast<const uint8_t*>(bytes), size, &decoder, &format), Mp3OpenStatus::kOk);
  for (bool finished = decoder == nullptr; !finished;) {
    const size_t n = DecodeMp3Frames(decoder, buffer.data(), 4096, &finished);
    pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n * format.channels));
  }
  if (decoder) CloseMp3Decoder(decoder);
  return {format, pcm};
}

// Signal-to-noise ratio in dB of decoded samples against the original, sample
// for sample: no alignment search, gapless decoding must line up exactly.
double SnrDb(const std::vector<float>& original, const std::vector<int16_t>& decoded) {
  double signal = 0.0, noise = 0.0;
  for (size_t i = 0; i < original.size(); ++i) {
    signal += static_cast<double>(original[i]) * original[i];
    noise += std::pow(decoded[i] / 32768.0 - original[i], 2);
  }
  return 10.0 * std::log10(signal / (noise + 1e-30));
}

TEST(MusicMp3Encoder, SameBytesEachTime) {
  // 1.3 s of the intro build (bell, pad, arpeggio), fed in uneven pieces.
  const int64_t frames = 57331;
  const std::vector<float> pcm = RenderShowFrames(static_cast<int64_t>(8.0 * kSampleRate), frames);
  std::vector<uint8_t> files[2];
  for (std::vector<uint8_t>& file : files) {
    Mp3Encoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.Open(192, error) && encoder.Encode(pcm.data(), 1000, error) &&
                encoder.Encode(pcm.data() + 2000, frames - 1000, error) && encoder.Finish(file, error))
        << error;
  }
  EXPECT_TRUE(files[0] == files[1]);
}

TEST(ShippedTrack, DecodesToTheTrackAtItsLengthWithoutClipping) {
  const char* dir = std::getenv("LUMEN_SHOW_DATA_DIR");
  ASSERT_NE(dir, nullptr) << "LUMEN_SHOW_DATA_DIR is not set";
  const std::string file = ReadText(std::string(dir) + "/qx3.mp3");
  ASSERT_FALSE(file.empty()) << "cannot read " << dir << "/qx3.mp3 (the build's soundtrack target makes it)";
  const auto [format, pcm] = DecodeAll(file.data(), file.size());
  EXPECT_EQ(std::tuple(format.rate, format.channels), std::tuple(44100u, 2u));
  EXPECT_EQ(format.totalFrames, static_cast<uint64_t>(kTrackFrames));
  EXPECT_TRUE(kTrackFrames >= 200 * 44100 && kTrackFrames <= 201 * 44100) << kTrackFrames;  // the show's length
  ASSERT_EQ(pcm.size(), static_cast<size_t>(2 * kTrackFrames));
  // Still no clipping after encoding: at or below -1 dBFS.
  int peak = 0;
  for (int16_t v : pcm) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_LE(20.0 * std::log10(peak / 32768.0), -1.0);
  // It is this generator's track, aligned to the sample: the first 12 s
  // (silence into the intro) match a fresh render.
  const std::vector<float> fresh = RenderShowFrames(0, static_cast<int64_t>(12 * kSampleRate));
  EXPECT_GT(SnrDb(fresh, pcm), 20.0);
}

// Help succeeds on standard output; bad arguments exit with 2, unwritable
// paths with 1 at once (before any rendering), each with its message, and
// neither leaves a file behind, not even the temporary one. "At once": the
// output is checked before the WAV file is opened, and that before rendering.
TEST(MakeSoundtrack, HelpBadArgumentsAndUnwritablePaths) {
  std::filesystem::create_directory("adir");
  const std::tuple<const char*, int, const char*> cases[] = {
      {"--help", 0, "usage: make_soundtrack --out FILE"}, {"-h", 0, "usage: make_soundtrack --out FILE"},
      {"", 2, "missing --out FILE"}, {"--wav x.wav", 2, "missing --out FILE"},
      {"--out", 2, "--out needs a file name"}, {"--out ''", 2, "--out needs a file name"},
      {"--out a.mp3 --out b.mp3", 2, "--out given twice"},
      {"--out a.mp3 --wav", 2, "--wav needs a file name"},
      {"--out a.mp3 --bitrate 128", 2, "unexpected argument \"--bitrate\""},
      {"--out no_such_dir/qx3.mp3", 1, "cannot write \"no_such_dir/qx3.mp3\": No such file or directory"},
      {"--out adir --wav no_such_dir/x.wav", 1, "cannot write \"adir\": Is a directory"},
      {"--out a.mp3 --wav no_such_dir/x.wav", 1, "cannot write \"no_such_dir/x.wav\""},
  };
  for (const auto& [args, code, message] : cases) {
    SCOPED_TRACE(args);
    const RunResult r = RunProgram(MAKE_SOUNDTRACK_PATH, args, "run");
    EXPECT_EQ(r.exitCode, code);
    EXPECT_NE((code == 0 ? r.out : r.err).find(message), std::string::npos) << r.out << r.err;
    EXPECT_TRUE((code == 0 ? r.err : r.out).empty()) << r.out << r.err;
    // Nothing but the captured output and adir, untouched.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 3);
    EXPECT_TRUE(std::filesystem::is_empty("adir"));
  }
}

}  // namespace
