// The music player as the frame loop uses it: the track from the working
// directory, the clock rule on a 16 ms grid, mute, the end of the track, the
// version check and the failure rule.
#include "engine/music/music_player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/resources/resource_table.h"
#include "tests/music/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs statement in a death test child and expects exit code -1 with regex
// on standard output (folded into standard error for the death test).
#define EXPECT_FATAL(statement, regex)      \
  EXPECT_EXIT(                              \
      {                                     \
        dup2(STDERR_FILENO, STDOUT_FILENO); \
        statement;                          \
      },                                    \
      ::testing::ExitedWithCode(255), regex)

class MusicPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, AudioOutput::kSilent};
    std::remove(kMusicTrackName);
  }
  void TearDown() override {
    ResourceTable::Release();
    std::remove(kMusicTrackName);
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, AudioOutput::kAutomatic};
  }
  static void WriteTrack(const TrackShape& shape) { WriteFileBytes(kMusicTrackName, MakeSineMp3(shape)); }
  static MusicPlayer* LoadedPlayer() {
    MusicPlayer* player = MusicPlayer::Create();
    player->LoadTrack();
    return player;
  }
  static void Release(MusicPlayer* player) {
    player->Shutdown();
    EXPECT_EQ(kAudioOk, player->lastResult);
    delete player;
    ResourceTable::Release();
  }
};

TEST_F(MusicPlayerTest, LoadsTheTrackFromTheWorkingDirectory) {
  WriteTrack({1.2, 44100, 2, false});
  MusicPlayer* player = MusicPlayer::Create();
  EXPECT_EQ(kAudioMixerVersion, player->version);
  EXPECT_EQ(nullptr, player->sound);
  EXPECT_EQ(nullptr, player->channel.mixer);
  player->LoadTrack();
  EXPECT_EQ(kAudioOk, player->lastResult);
  EXPECT_NE(nullptr, player->sound);
  EXPECT_EQ(1200u, player->lengthMs);
  EXPECT_EQ(nullptr, player->channel.mixer);  // nothing plays before StartPlayback
  Release(player);
}

TEST_F(MusicPlayerTest, PositionBeforePlaybackIsZeroWithAnInvalidHandle) {
  WriteTrack({0.5, 44100, 1, false});
  MusicPlayer* player = LoadedPlayer();
  uint32_t position = 77;
  player->Update();
  EXPECT_EQ(kAudioInvalidHandle, player->Position(&position));
  EXPECT_EQ(0u, position);
  EXPECT_TRUE(MusicPlayer::PositionIsClock(player->lastResult));
  // A result outside the three stays in lastResult and is no clock.
  player->StartPlayback();
  EXPECT_EQ(kAudioInvalidParameter, player->Position(nullptr));
  EXPECT_EQ(kAudioInvalidParameter, player->lastResult);
  EXPECT_FALSE(MusicPlayer::PositionIsClock(player->lastResult));
  EXPECT_TRUE(MusicPlayer::PositionIsClock(kAudioOk));
  EXPECT_TRUE(MusicPlayer::PositionIsClock(kAudioChannelStolen));
  EXPECT_FALSE(MusicPlayer::PositionIsClock(kAudioStreamDamaged));
  Release(player);
}

// The frame loop's use: a 16 ms grid, service then position, the clock rule,
// a mute toggle now and then, and the end rule (time 0 after frame 10).
TEST_F(MusicPlayerTest, FrameLoopClockFollowsTheTrackToItsEnd) {
  WriteTrack({1.6, 44100, 2, false});
  MusicPlayer* player = LoadedPlayer();
  ASSERT_EQ(1600u, player->lengthMs);
  const Clock::time_point start = Clock::now();
  player->StartPlayback();
  ASSERT_EQ(kAudioOk, player->lastResult);
  uint32_t lastTime = 0;
  bool muted = false;
  uint32_t frameIndex = 0;
  for (;; ++frameIndex) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(16 * frameIndex));
    player->Update();
    uint32_t position = 0xFFFFFFFF;
    const int32_t result = player->Position(&position);
    ASSERT_TRUE(MusicPlayer::PositionIsClock(result)) << "frame " << frameIndex << " result " << result;
    const uint32_t timeMs = position;
    const auto wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (timeMs == 0 && frameIndex > 10) {
      EXPECT_EQ(kAudioInvalidHandle, player->lastResult);
      EXPECT_NEAR(1600.0, static_cast<double>(wallMs), 30.0);
      break;
    }
    ASSERT_EQ(kAudioOk, result) << "frame " << frameIndex;
    ASSERT_GE(timeMs, lastTime) << "frame " << frameIndex;
    EXPECT_NEAR(static_cast<double>(wallMs), static_cast<double>(timeMs), 10.0) << "frame " << frameIndex;
    lastTime = timeMs;
    if (frameIndex % 20 == 19) {  // the console's debounce: at most one toggle per 20 frames
      muted = !muted;
      player->SetMute(muted);
    }
    ASSERT_LT(wallMs, 3000) << "the track never ended";
  }
  EXPECT_GE(lastTime, 1580u);
  Release(player);
}

TEST_F(MusicPlayerTest, RequiredVersionPassesTheCheck) {
  WriteTrack({0.4, 44100, 2, false});
  AudioMixerDefaults().reportedVersion = kRequiredMixerVersion;
  testing::internal::CaptureStdout();
  MusicPlayer* player = MusicPlayer::Create();
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  EXPECT_EQ(0x44438u, player->version);
  player->LoadTrack();  // an initialised mixer opens the track
  EXPECT_EQ(400u, player->lengthMs);
  Release(player);
}

TEST_F(MusicPlayerTest, OlderVersionGetsTheMessageAndStaysUninitialised) {
  WriteTrack({0.4, 44100, 2, false});
  AudioMixerDefaults().reportedVersion = kRequiredMixerVersion - 1;
  testing::internal::CaptureStdout();
  MusicPlayer* player = MusicPlayer::Create();
  EXPECT_EQ("Error!  You are using an old version of FMOD 00044437.  This program requires 00044438\n",
            testing::internal::GetCapturedStdout());
  EXPECT_EQ(nullptr, player->sound);
  EXPECT_EQ(nullptr, player->channel.mixer);
  // The next fatal call decides: the track cannot be opened.
  EXPECT_FATAL(player->LoadTrack(), "(^|\n)FMOD error! \\(79\\) the mixer has not been initialised\n");
  AudioMixerDefaults().reportedVersion = 0x1234;
  testing::internal::CaptureStdout();
  MusicPlayer* older = MusicPlayer::Create();
  EXPECT_EQ("Error!  You are using an old version of FMOD 00001234.  This program requires 00044438\n",
            testing::internal::GetCapturedStdout());
  // Neither has a stream to release: their mixers go directly.
  EXPECT_EQ(kAudioOk, ReleaseAudioMixer(older->system));
  EXPECT_EQ(kAudioOk, ReleaseAudioMixer(player->system));
  delete older;
  delete player;
}

TEST_F(MusicPlayerTest, MissingTrackEndsWithTheResourceMessage) {
  EXPECT_FATAL(LoadedPlayer(), "(^|\n)resource \"qx3.mp3\" not found\n");
}

TEST_F(MusicPlayerTest, TrackThatIsNoMp3EndsWithTheFailureRule) {
  WriteFileBytes(kMusicTrackName, NoiseBytes(50000, 21));
  EXPECT_FATAL(LoadedPlayer(), "(^|\n)FMOD error! \\(25\\) the data holds no MPEG audio stream that can be played\n");
}

TEST_F(MusicPlayerTest, TruncatedTrackEndsWithTheFailureRule) {
  const std::vector<uint8_t> good = MakeSineMp3({1.5, 44100, 2, false});
  WriteFileBytes(kMusicTrackName, Truncated(good, good.size() / 2 + 5));
  EXPECT_FATAL(LoadedPlayer(), "(^|\n)FMOD error! \\(19\\) the MP3 stream is truncated or breaks off part-way\n");
}

TEST_F(MusicPlayerTest, CorruptedTrackEndsWithTheFailureRule) {
  const std::vector<uint8_t> good = MakeSineMp3({1.5, 48000, 1, true});
  WriteFileBytes(kMusicTrackName, WithNoise(good, good.size() / 2, 2500, 5));
  EXPECT_FATAL(LoadedPlayer(), "(^|\n)FMOD error! \\(19\\) ");
}

TEST_F(MusicPlayerTest, ShutdownReleasesUnconditionally) {
  // Without a track the first release already fails, and the rule applies.
  EXPECT_FATAL(
      {
        MusicPlayer* player = MusicPlayer::Create();
        player->Shutdown();
      },
      "(^|\n)FMOD error! \\(36\\) no live mixer, stream or channel is behind the handle\n");
}

}  // namespace
