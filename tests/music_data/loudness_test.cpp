// The loudness meter against the reference figures of ITU-R BS.1770 and the
// EBU's loudness test signals (Tech 3341).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "tools/music/loudness.h"

namespace {

TEST(MusicLoudness, KWeightingAt48kHzIsTheStandardsFilter) {
  music::Biquad shelf, highpass;
  music::KWeighting(48000.0, shelf, highpass);
  const double got[] = {shelf.b0, shelf.b1, shelf.b2, shelf.a1, shelf.a2,
                        highpass.b0, highpass.b1, highpass.b2, highpass.a1, highpass.a2};
  const double want[] = {1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241, 0.73248077421585,
                         1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
  for (int i = 0; i < 10; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << i;
}

// Stereo 1 kHz sines at levels in dBFS (peak, both channels) one after the
// other: a sine reads its level as LUFS, quiet passages are gated out, and
// silence or less than one 400 ms block has no loudness.
TEST(MusicLoudness, ReadsTheReferenceSignals) {
  // Sample rate; segments of dBFS and seconds; the reading.
  const std::tuple<int, std::vector<std::pair<double, double>>, double> cases[] = {
      {44100, {{-23.0, 20.0}}, -23.0},
      {48000, {{-23.0, 20.0}}, -23.0},
      {44100, {{-20.0, 10.0}}, -20.0},
      {44100, {{-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}}, -23.0},                                // Tech 3341 case 3
      {44100, {{-72.0, 10.0}, {-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}, {-72.0, 10.0}}, -23.0},  // case 4
      {44100, {{-HUGE_VAL, 1.0}}, -HUGE_VAL},
      {44100, {{-10.0, 0.3}}, -HUGE_VAL},
  };
  for (const auto& [rate, segments, lufs] : cases) {
    music::LoudnessMeter meter(rate);
    double peak = 0.0;
    for (const auto& [dbfs, seconds] : segments) {
      const double amplitude = std::pow(10.0, dbfs / 20.0);
      std::vector<float> buffer(2 * static_cast<size_t>(seconds * rate));
      for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<float>(amplitude * std::sin(2.0 * 3.14159265358979323846 * 1000.0 * (i / 2) / rate));
      meter.Add(buffer.data(), static_cast<int64_t>(buffer.size() / 2));
      peak = std::max(peak, amplitude);
    }
    SCOPED_TRACE(testing::Message() << rate << " Hz, " << segments.size() << " segments from " << segments[0].first);
    const double read = meter.IntegratedLufs();
    EXPECT_TRUE(std::isinf(lufs) ? read == lufs : std::fabs(read - lufs) <= 0.1) << read;
    EXPECT_NEAR(meter.SamplePeak(), peak, 1e-4);
  }
}

}  // namespace
