// The loudness meter against the reference figures of ITU-R BS.1770 and the
// EBU's loudness test signals (Tech 3341).

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/music/loudness.h"

namespace {

using music::LoudnessMeter;

// Stereo 1 kHz sine at `dbfs` (peak level) on both channels, `seconds` long.
void AddSine(LoudnessMeter& meter, int rate, double dbfs, double seconds) {
  const double amplitude = std::pow(10.0, dbfs / 20.0);
  const int64_t frames = static_cast<int64_t>(seconds * rate);
  std::vector<float> buffer(static_cast<size_t>(2 * frames));
  for (int64_t i = 0; i < frames; ++i) {
    const float v = static_cast<float>(amplitude * std::sin(2.0 * 3.14159265358979323846 * 1000.0 * i / rate));
    buffer[2 * i] = v;
    buffer[2 * i + 1] = v;
  }
  meter.Add(buffer.data(), frames);
}

TEST(MusicLoudness, KWeightingAt48kHzIsTheStandardsFilter) {
  music::Biquad shelf, highpass;
  music::KWeighting(48000.0, shelf, highpass);
  EXPECT_NEAR(shelf.b0, 1.53512485958697, 1e-9);
  EXPECT_NEAR(shelf.b1, -2.69169618940638, 1e-9);
  EXPECT_NEAR(shelf.b2, 1.19839281085285, 1e-9);
  EXPECT_NEAR(shelf.a1, -1.69065929318241, 1e-9);
  EXPECT_NEAR(shelf.a2, 0.73248077421585, 1e-9);
  EXPECT_EQ(highpass.b0, 1.0);
  EXPECT_EQ(highpass.b1, -2.0);
  EXPECT_EQ(highpass.b2, 1.0);
  EXPECT_NEAR(highpass.a1, -1.99004745483398, 1e-9);
  EXPECT_NEAR(highpass.a2, 0.99007225036621, 1e-9);
}

TEST(MusicLoudness, SineReadsItsLevelAtBothRates) {
  // A 1 kHz sine on both channels reads its peak level in dBFS as LUFS.
  for (int rate : {44100, 48000}) {
    LoudnessMeter meter(rate);
    AddSine(meter, rate, -23.0, 20.0);
    EXPECT_NEAR(meter.IntegratedLufs(), -23.0, 0.1) << rate;
    EXPECT_NEAR(meter.SamplePeak(), std::pow(10.0, -23.0 / 20.0), 1e-4);
  }
  LoudnessMeter meter(44100);
  AddSine(meter, 44100, -20.0, 10.0);
  EXPECT_NEAR(meter.IntegratedLufs(), -20.0, 0.1);
}

TEST(MusicLoudness, GatesQuietPassagesOut) {
  // Tech 3341 case 3: -36, -23, -36 dBFS for 10, 60, 10 s reads -23 LUFS.
  LoudnessMeter three(44100);
  AddSine(three, 44100, -36.0, 10.0);
  AddSine(three, 44100, -23.0, 60.0);
  AddSine(three, 44100, -36.0, 10.0);
  EXPECT_NEAR(three.IntegratedLufs(), -23.0, 0.1);
  // Case 4: -72, -36, -23, -36, -72 dBFS for 10, 10, 60, 10, 10 s.
  LoudnessMeter four(44100);
  AddSine(four, 44100, -72.0, 10.0);
  AddSine(four, 44100, -36.0, 10.0);
  AddSine(four, 44100, -23.0, 60.0);
  AddSine(four, 44100, -36.0, 10.0);
  AddSine(four, 44100, -72.0, 10.0);
  EXPECT_NEAR(four.IntegratedLufs(), -23.0, 0.1);
}

TEST(MusicLoudness, SilenceAndTooShortInputHaveNoLoudness) {
  LoudnessMeter silent(44100);
  std::vector<float> zeros(2 * 44100, 0.0f);
  silent.Add(zeros.data(), 44100);
  EXPECT_EQ(silent.IntegratedLufs(), -HUGE_VAL);
  EXPECT_EQ(silent.SamplePeak(), 0.0);
  LoudnessMeter brief(44100);
  AddSine(brief, 44100, -10.0, 0.3);  // shorter than one 400 ms block
  EXPECT_EQ(brief.IntegratedLufs(), -HUGE_VAL);
  EXPECT_EQ(music::ToDecibels(0.0), -HUGE_VAL);
  EXPECT_NEAR(music::ToDecibels(0.5), -6.0206, 1e-4);
}

}  // namespace
