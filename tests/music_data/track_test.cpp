// The rendered show track: deterministic, within its level limits, shaped
// like the show (silence to music, a change at every section, a fade to
// silence).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/music_data/signal_helpers.h"
#include "tools/music/loudness.h"
#include "tools/music/track.h"

namespace {

using namespace music;
using soundtrack_test::BandLevels;
using soundtrack_test::Db;
using soundtrack_test::Digest;
using soundtrack_test::MeanSquare;
using soundtrack_test::MeasureBands;

// The whole track, rendered once per test program run.
const std::vector<float>& WholeTrack() {
  static const std::vector<float> track = RenderShowFrames(0, kTrackFrames);
  return track;
}

size_t Frame(double seconds) { return static_cast<size_t>(std::lround(seconds * kSampleRate)); }

// Level in dB of [from, to) seconds of the whole track.
double LevelDb(double from, double to) { return Db(MeanSquare(WholeTrack(), Frame(from), Frame(to) - Frame(from))); }

TEST(ShowTrack, LengthEndsBetween200And201Seconds) {
  EXPECT_GE(kTrackSeconds, 200.0);
  EXPECT_LE(kTrackSeconds, 201.0);
  EXPECT_EQ(kTrackFrames, static_cast<int64_t>(std::llround(kTrackSeconds * kSampleRate)));
}

TEST(ShowTrack, PeakLoudnessAndDcAreWithinLimits) {
  const std::vector<float>& track = WholeTrack();
  double peak = 0.0, sumL = 0.0, sumR = 0.0;
  for (size_t i = 0; i < track.size(); i += 2) {
    ASSERT_TRUE(std::isfinite(track[i]) && std::isfinite(track[i + 1])) << i / 2;
    peak = std::max({peak, std::fabs(static_cast<double>(track[i])), std::fabs(static_cast<double>(track[i + 1]))});
    sumL += track[i];
    sumR += track[i + 1];
  }
  // No clipping: the sample peak stays at or below -1 dBFS.
  EXPECT_LE(20.0 * std::log10(peak), -1.0);
  EXPECT_LE(peak, kLimiterCeiling * (1.0 + 1e-6));
  // No DC offset (below -80 dBFS).
  const double frames = static_cast<double>(kTrackFrames);
  EXPECT_LT(std::fabs(sumL / frames), 1e-4);
  EXPECT_LT(std::fabs(sumR / frames), 1e-4);

  LoudnessMeter meter(kSampleRate);
  meter.Add(track.data(), kTrackFrames);
  const double lufs = meter.IntegratedLufs();
  EXPECT_GE(lufs, -16.0);
  EXPECT_LE(lufs, -12.0);
  EXPECT_DOUBLE_EQ(meter.SamplePeak(), peak);
}

TEST(ShowTrack, OpeningBuildsOutOfSilence) {
  const std::vector<float> opening = RenderShowFrames(0, static_cast<int64_t>(Frame(20.0)));
  const auto level = [&](double from, double to) {
    return Db(MeanSquare(opening, Frame(from), Frame(to) - Frame(from)));
  };
  EXPECT_LT(std::fabs(opening[0]), 1e-4f);
  EXPECT_LT(std::fabs(opening[1]), 1e-4f);
  EXPECT_LT(level(0.0, 0.05), -60.0);
  // Every stretch of the intro louder than the one before.
  const double a = level(0.0, 1.0), b = level(3.0, 4.0), c = level(7.0, 8.0), d = level(12.0, 13.0);
  EXPECT_LT(a, b - 3.0);
  EXPECT_LT(b, c - 3.0);
  EXPECT_LT(c, d - 3.0);
  // By the end of the intro the music is at full strength.
  EXPECT_GT(d, level(16.0, 20.0) - 3.0);
}

// The track's shape in one test, so that the whole track is rendered once
// for it: a change at every section, the sections' own energy, the ending.
TEST(ShowTrack, SectionsChangeOnTheirBarsAndTheEndingFades) {
  // Two seconds (one bar) either side of each section's first bar: at least
  // one band (bass, middle, highs) changes level by 3 dB or more.
  for (int s = 1; s < kSectionCount; ++s) {
    const double t = kSectionStartBars[s] * kBarSeconds;
    const BandLevels before = MeasureBands(WholeTrack(), Frame(t - 2.0), Frame(2.0));
    const BandLevels after = MeasureBands(WholeTrack(), Frame(t), Frame(2.0));
    const double change = std::max({std::fabs(after.low - before.low), std::fabs(after.mid - before.mid),
                                     std::fabs(after.high - before.high)});
    EXPECT_GE(change, 3.0) << "at " << t << " s: low " << before.low << " -> " << after.low << ", mid "
                           << before.mid << " -> " << after.mid << ", high " << before.high << " -> "
                           << after.high;
  }
  // The quiet sections (glow, the liquid breakdown) sit below the loud ones
  // (wobbler, twister); the twister is the climax.
  const double glow = LevelDb(46.0, 66.0);
  const double wobbler = LevelDb(74.0, 94.0);
  const double liquid = LevelDb(130.0, 146.0);
  const double twister = LevelDb(160.0, 180.0);
  EXPECT_LT(glow, wobbler - 1.0);
  EXPECT_LT(liquid, wobbler - 3.0);
  EXPECT_GE(twister, wobbler);
  // The liquid's first half has no kick: far less bass than the tunnel.
  const BandLevels tunnel = MeasureBands(WholeTrack(), Frame(16.0), Frame(8.0));
  const BandLevels breakdown = MeasureBands(WholeTrack(), Frame(132.0), Frame(8.0));
  EXPECT_LT(breakdown.low, tunnel.low - 3.0);

  // The ending winds down from the climax before it, then fades out.
  const double ending = LevelDb(188.0, 190.0);
  EXPECT_GT(LevelDb(170.0, 180.0), ending + 1.0);
  EXPECT_LT(LevelDb(196.0, 198.0), ending - 6.0);
  // The fade: every second from 195 s quieter than the one before, down to
  // near silence.
  double previous = LevelDb(195.0, 196.0);
  for (double t = 196.0; t < 200.0; t += 1.0) {
    const double level = LevelDb(t, t + 1.0);
    EXPECT_LT(level, previous - 1.0) << t;
    previous = level;
  }
  EXPECT_LT(LevelDb(199.75, 200.25), -45.0);
  // The fade ends in digital silence: the track stops on a clean zero.
  const std::vector<float>& track = WholeTrack();
  for (size_t i = 2 * Frame(200.26); i < track.size(); ++i) ASSERT_EQ(track[i], 0.0f) << i / 2;
}

TEST(ShowTrack, RenderingIsDeterministic) {
  // A stretch across the intro/tunnel boundary rendered twice from scratch;
  // it and one across the tunnel/glow boundary compared with the same frames
  // of one longer render.
  const size_t count = Frame(4.0);
  const size_t first = Frame(12.0);
  const std::vector<float> a = RenderShowFrames(static_cast<int64_t>(first), static_cast<int64_t>(count));
  const std::vector<float> b = RenderShowFrames(static_cast<int64_t>(first), static_cast<int64_t>(count));
  ASSERT_EQ(a.size(), 2 * count);
  EXPECT_EQ(Digest(a.data(), a.size()), Digest(b.data(), b.size()));
  const size_t later = Frame(42.0);
  const std::vector<float> longer = RenderShowFrames(0, static_cast<int64_t>(later + count));
  EXPECT_EQ(Digest(a.data(), a.size()), Digest(longer.data() + 2 * first, 2 * count));
  const std::vector<float> c = RenderShowFrames(static_cast<int64_t>(later), static_cast<int64_t>(count));
  EXPECT_EQ(Digest(c.data(), c.size()), Digest(longer.data() + 2 * later, 2 * count));
  EXPECT_NE(Digest(a.data(), a.size()), Digest(c.data(), c.size()));
}

TEST(ShowTrack, SamplesDoNotDependOnHowRequestsAreSplit) {
  const std::vector<float> track = RenderShowFrames(0, static_cast<int64_t>(Frame(3.0)));
  TrackRenderer renderer;
  std::vector<float> pieces;
  const int64_t sizes[] = {1, 63, 64, 65, 1000, 4097, 7, 30000};
  const int64_t wanted = static_cast<int64_t>(Frame(3.0));
  for (int64_t total = 0, k = 0; total < wanted; ++k) {
    const int64_t n = std::min<int64_t>(sizes[k % 8], wanted - total);
    std::vector<float> chunk(static_cast<size_t>(2 * n));
    renderer.Render(chunk.data(), n);
    pieces.insert(pieces.end(), chunk.begin(), chunk.end());
    total += n;
  }
  EXPECT_EQ(renderer.Position(), static_cast<int64_t>(Frame(3.0)));
  ASSERT_EQ(pieces.size(), 2 * Frame(3.0));
  EXPECT_TRUE(std::equal(pieces.begin(), pieces.end(), track.begin()));
}

}  // namespace
