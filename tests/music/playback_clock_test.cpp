// The audible-position clock of the device output, driven by hand-made
// callback times: exact, whatever the machine's load.
#include "engine/music/playback_clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr int64_t kMs = 1000000;  // ns

TEST(PlaybackClockTest, HandedLessTheBufferThenRunsWithTheClockUpToWhatWasHanded) {
  PlaybackClock clock{};
  clock.Start(44100, 1024);
  EXPECT_EQ(0u, clock.AudibleFrames(5 * kMs));  // the device has taken nothing yet
  clock.HandOver(1024, 10 * kMs);
  EXPECT_EQ(0u, clock.AudibleFrames(10 * kMs));      // the first buffer still waits in the device
  EXPECT_EQ(441u, clock.AudibleFrames(20 * kMs));    // 10 ms at 44.1 kHz
  EXPECT_EQ(1024u, clock.AudibleFrames(110 * kMs));  // the device has not asked for more: it waits
  clock.HandOver(1024, 110 * kMs);
  EXPECT_EQ(1024u, clock.AudibleFrames(105 * kMs));  // read on another thread just before the hand-over
  EXPECT_EQ(1024u + 441, clock.AudibleFrames(120 * kMs));
  EXPECT_EQ(uint64_t{48000} * 30 * 24 * 3600, FramesInNs(int64_t{30} * 24 * 3600 * 1000 * kMs, 48000));  // no overflow
}

}  // namespace
