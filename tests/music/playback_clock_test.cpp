// The audible-position clock of the device output, driven by hand-made
// callback times.
#include "engine/music/playback_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr int64_t kMs = 1000000;  // ns
constexpr uint32_t kRate = 44100;
constexpr uint64_t kBuffer = 1024;

TEST(PlaybackClockTest, StandsAtZeroUntilTheDeviceTakesAudio) {
  PlaybackClock clock{};
  clock.Start(kRate, kBuffer);
  EXPECT_EQ(0u, clock.AudibleFrames(5 * kMs));
  clock.HandOver(kBuffer, 10 * kMs);
  // The first buffer still waits in the device: nothing is audible yet.
  EXPECT_EQ(0u, clock.AudibleFrames(10 * kMs));
  // Then it runs with the clock: 441 frames in 10 ms at 44.1 kHz.
  EXPECT_EQ(441u, clock.AudibleFrames(20 * kMs));
}

TEST(PlaybackClockTest, NeverRunsPastWhatWasHanded) {
  PlaybackClock clock{};
  clock.Start(kRate, kBuffer);
  clock.HandOver(kBuffer, 0);
  EXPECT_EQ(kBuffer, clock.AudibleFrames(100 * kMs));  // the device has not asked for more: it waits
  clock.HandOver(kBuffer, 100 * kMs);
  EXPECT_EQ(kBuffer, clock.AudibleFrames(100 * kMs));  // handed 2048, 1024 of them still waiting
  // A time read just before the hand-over (on another thread) counts as the hand-over itself.
  EXPECT_EQ(kBuffer, clock.AudibleFrames(95 * kMs));
  EXPECT_EQ(kBuffer + 441, clock.AudibleFrames(110 * kMs));
}

TEST(PlaybackClockTest, FollowsJitteryCallbacksMonotonically) {
  // Callbacks every 1024 frames (23.22 ms) with up to +-4 ms of jitter; the
  // position read every millisecond never goes back and stays within twice
  // the jitter of where a steady device would be.
  PlaybackClock clock{};
  clock.Start(kRate, kBuffer);
  const int64_t period = static_cast<int64_t>(kBuffer) * 1000000000 / kRate;
  const int64_t jitter[] = {0, 4 * kMs, -3 * kMs, 1 * kMs, -4 * kMs, 2 * kMs, 3 * kMs, -1 * kMs};
  uint64_t last = 0;
  int k = 0;
  int64_t nextCallback = 0;
  for (int64_t t = 0; t < 3000 * kMs; t += kMs) {
    while (t >= nextCallback) {
      clock.HandOver(kBuffer, nextCallback);
      ++k;
      nextCallback = k * period + jitter[k % 8];
    }
    const uint64_t audible = clock.AudibleFrames(t);
    ASSERT_GE(audible, last) << "at " << t / kMs << " ms";
    last = audible;
    const double steady = static_cast<double>(t) * kRate / 1e9;
    EXPECT_NEAR(steady, static_cast<double>(audible), 8.0 * kRate / 1000 + 1) << "at " << t / kMs << " ms";
  }
  EXPECT_GT(last, 3 * kRate - kBuffer - 200);
}

TEST(PlaybackClockTest, ConversionsTruncate) {
  EXPECT_EQ(2500u, FramesToMs(110250, 44100));
  EXPECT_EQ(999u, FramesToMs(44099, 44100));
  EXPECT_EQ(1000u, FramesToMs(8000, 8000));
  EXPECT_EQ(0u, FramesInNs(-5, 44100));
  EXPECT_EQ(44u, FramesInNs(999999, 44100));  // 44.099 frames in just under 1 ms
  EXPECT_EQ(44100u, FramesInNs(1000000000, 44100));
  // Thirty days at 48 kHz: no overflow on the way.
  const int64_t month = int64_t{30} * 24 * 3600 * 1000000000;
  EXPECT_EQ(uint64_t{48000} * 30 * 24 * 3600, FramesInNs(month, 48000));
}

}  // namespace
