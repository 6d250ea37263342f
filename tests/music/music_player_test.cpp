// The music player as the frame loop uses it: the track from the working
// directory, the clock rule, mute, the end of the track, the version check
// and the failure rule. The silent output runs on the monotonic clock, so
// positions are checked against clock readings taken around the play and the
// read: never ahead of the first, never behind the second, however loaded the
// machine; no position is compared with wall time give or take a tolerance.
#include "engine/music/music_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/resources/resource_table.h"
#include "tests/music/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

uint32_t MsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

// Runs statement in a death test child and expects exit code -1 with regex
// on standard output (folded into standard error for the death test).
#define EXPECT_FATAL(statement, regex) \
  EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), statement), ::testing::ExitedWithCode(255), regex)

class MusicPlayerTest : public ::testing::Test {
 protected:
  MusicPlayerTest() {
    // Forked death tests: the child stays in this case's scratch directory with the track written there
    // (a re-executed child starts in the directory shared by all cases, without the harness).
    GTEST_FLAG_SET(death_test_style, "fast");
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, AudioOutput::kSilent};
  }
};

// The frame loop's use with the oldest mixer accepted: service then position
// each frame, a mute toggle now and then, one frame that stalls for 300 ms,
// the end rule (0 with 36), and a second play from the track's start.
TEST_F(MusicPlayerTest, FrameLoopClockFollowsTheTrackToItsEnd) {
  WriteFileBytes(kMusicTrackName, MakeSineMp3({0.6, 44100, 2, false}));
  AudioMixerDefaults().reportedVersion = kRequiredMixerVersion;
  testing::internal::CaptureStdout();
  MusicPlayer* player = MusicPlayer::Create();
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  player->LoadTrack();
  ASSERT_EQ(600u, player->lengthMs);
  uint32_t position = 77;
  EXPECT_EQ(kAudioInvalidHandle, player->Position(&position));  // nothing plays yet
  EXPECT_EQ(0u, position);
  for (int play = 0; play < 2; ++play) {
    const Clock::time_point beforePlay = Clock::now();
    player->StartPlayback();
    const Clock::time_point afterPlay = Clock::now();
    ASSERT_EQ(kAudioOk, player->lastResult);
    for (uint32_t frame = 0, last = 0;; ++frame, last = position) {
      std::this_thread::sleep_for(std::chrono::milliseconds(frame == 5 ? 300 : 16));
      const Clock::time_point beforeRead = Clock::now();
      player->Update();
      const int32_t result = player->Position(&position);
      const uint32_t upper = MsSince(beforePlay), lower = MsSince(afterPlay, beforeRead);
      ASSERT_TRUE(MusicPlayer::PositionIsClock(result)) << result;
      if (result == kAudioInvalidHandle) {
        EXPECT_EQ(0u, position);
        EXPECT_GE(upper, 600u) << "ended early";
        break;
      }
      EXPECT_GE(position, last) << "frame " << frame;
      EXPECT_LE(position, upper) << "ahead of the clock, frame " << frame;
      EXPECT_GE(position + 1, lower) << "behind the clock, frame " << frame;  // +1: two truncations
      EXPECT_LE(lower, 600u) << "still playing after the end, frame " << frame;
      if (frame % 20 == 19) player->SetMute(frame % 40 == 19);
      ASSERT_LT(upper, 60000u) << "the track never ended";
    }
  }
  player->Update();
  EXPECT_EQ(kAudioInvalidHandle, player->Position(&position));  // ended for good
  // A result other than 0, 11 and 36 stays in lastResult and is no clock.
  EXPECT_EQ(kAudioInvalidParameter, player->Position(nullptr));
  EXPECT_FALSE(MusicPlayer::PositionIsClock(player->lastResult));
  EXPECT_TRUE(MusicPlayer::PositionIsClock(kAudioChannelStolen));
  player->Shutdown();
  EXPECT_EQ(kAudioOk, player->lastResult);
  delete player;
  ResourceTable::Release();
}

TEST_F(MusicPlayerTest, OlderMixerGetsTheMessageAndStaysUninitialised) {
  WriteFileBytes(kMusicTrackName, MakeSineMp3({0.1, 44100, 2, false}));
  AudioMixerDefaults().reportedVersion = kRequiredMixerVersion - 1;
  testing::internal::CaptureStdout();
  MusicPlayer* player = MusicPlayer::Create();
  EXPECT_EQ("Error!  You are using an old version of FMOD 00044437.  This program requires 00044438\n",
            testing::internal::GetCapturedStdout());
  // The next fatal call decides: the track cannot be opened.
  EXPECT_FATAL(player->LoadTrack(), "(^|\n)FMOD error! \\(79\\) the mixer has not been initialised\n");
  EXPECT_EQ(kAudioOk, ReleaseAudioMixer(player->system));  // no stream to release
  delete player;
}

TEST_F(MusicPlayerTest, MissingOrBadTrackEndsWithItsMessage) {
  const std::vector<uint8_t> good = MakeSineMp3({1.5, 44100, 2, false});
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {{}, "resource \"qx3.mp3\" not found"},
      {Damaged({}, 0, 0, 50000), "FMOD error! \\(25\\) the data holds no MPEG audio stream that can be played"},
      {Damaged(good, good.size() / 2), "FMOD error! \\(19\\) the MP3 stream is truncated or breaks off part-way"}};
  for (const auto& [bytes, message] : cases) {
    if (!bytes.empty()) WriteFileBytes(kMusicTrackName, bytes);
    EXPECT_FATAL(MusicPlayer::Create()->LoadTrack(), "(^|\n)" + message + "\n");
  }
  // Shutdown releases unconditionally: without a track the first release already fails.
  EXPECT_FATAL(MusicPlayer::Create()->Shutdown(),
               "(^|\n)FMOD error! \\(36\\) no live mixer, stream or channel is behind the handle\n");
}

}  // namespace
