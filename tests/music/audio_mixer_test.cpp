// The audio layer: exact lengths, refused streams, handles and results, the
// position under the silent output and under SDL's dummy device.
#include "engine/music/audio_mixer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/music/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class AudioMixerTest : public ::testing::Test {
 protected:
  virtual AudioOutput Output() const { return AudioOutput::kSilent; }
  void SetUp() override {
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, Output()};
    ASSERT_EQ(kAudioOk, CreateAudioMixer(&mixer));
    ASSERT_EQ(kAudioOk, InitAudioMixer(mixer, 1));
  }
  void TearDown() override {
    if (mixer != nullptr) {
      EXPECT_EQ(kAudioOk, ReleaseAudioMixer(mixer));
    }
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, AudioOutput::kAutomatic};
  }
  // Opens bytes (kept alive by the fixture) and returns the result.
  AudioResult Open(std::vector<uint8_t> bytes, AudioStream** stream) {
    held.push_back(std::move(bytes));
    return OpenMemoryStream(mixer, held.back().data(), static_cast<uint32_t>(held.back().size()), stream);
  }
  uint32_t LengthOf(std::vector<uint8_t> bytes) {
    AudioStream* stream = nullptr;
    EXPECT_EQ(kAudioOk, Open(std::move(bytes), &stream));
    uint32_t length = 0;
    EXPECT_EQ(kAudioOk, GetStreamLengthMs(stream, &length));
    return length;
  }
  // Opens a sine track and starts it; start is taken just before the play.
  AudioChannel Play(const TrackShape& shape, AudioStream** stream, Clock::time_point* start = nullptr) {
    AudioChannel channel{};
    EXPECT_EQ(kAudioOk, Open(MakeSineMp3(shape), stream));
    if (start != nullptr) *start = Clock::now();
    EXPECT_EQ(kAudioOk, PlayStream(mixer, *stream, &channel));
    return channel;
  }

  AudioMixer* mixer = nullptr;
  std::vector<std::vector<uint8_t>> held;
};

TEST_F(AudioMixerTest, LengthIsExactForEveryRateAndMode) {
  EXPECT_EQ(2500u, LengthOf(MakeSineMp3({2.5, 44100, 2, false})));
  EXPECT_EQ(1000u, LengthOf(MakeSineMp3({1.0, 48000, 1, true})));
  EXPECT_EQ(1234u, LengthOf(MakeSineMp3({1.234, 32000, 2, false})));
  EXPECT_EQ(700u, LengthOf(MakeSineMp3({0.7, 22050, 1, false})));   // MPEG-2
  EXPECT_EQ(333u, LengthOf(MakeSineMp3({0.3333, 8000, 1, true})));  // MPEG-2.5: 2666 frames, 333.25 ms truncated
  // Tags around the frames do not count.
  EXPECT_EQ(1500u, LengthOf(WithId3Tags(MakeSineMp3({1.5, 44100, 2, false}), 3000)));
}

TEST_F(AudioMixerTest, RefusesWhatIsNoMp3) {
  AudioStream* stream = reinterpret_cast<AudioStream*>(&held);  // must be cleared on failure
  EXPECT_EQ(kAudioUnsupportedFormat, Open(NoiseBytes(30000, 7), &stream));
  EXPECT_EQ(nullptr, stream);
  std::string text(20000, 'w');
  EXPECT_EQ(kAudioUnsupportedFormat, Open(std::vector<uint8_t>(text.begin(), text.end()), &stream));
  EXPECT_EQ(kAudioInvalidParameter, Open({}, &stream));
  EXPECT_EQ(kAudioInvalidParameter, OpenMemoryStream(mixer, nullptr, 100, &stream));
  EXPECT_EQ(kAudioInvalidParameter, OpenMemoryStream(mixer, held[0].data(), 100, nullptr));
}

TEST_F(AudioMixerTest, RefusesTruncatedAndCorruptedStreams) {
  const std::vector<uint8_t> good = MakeSineMp3({2.0, 44100, 2, false});
  AudioStream* stream = nullptr;
  const std::vector<uint8_t> vbr = MakeSineMp3({2.0, 48000, 1, true});
  const std::vector<uint8_t> mpeg2 = MakeSineMp3({2.0, 22050, 2, true});
  const std::vector<uint8_t> mpeg25 = MakeSineMp3({2.0, 8000, 1, false});
  EXPECT_NE(kAudioOk, Open(Truncated(good, 300), &stream)) << "cut inside the first frame";
  const std::pair<std::vector<uint8_t>, const char*> damaged[] = {
      {Truncated(good, good.size() * 3 / 5), "cut at 60%"},
      {Truncated(good, good.size() - 100), "last frame cut"},
      {WithNoise(good, good.size() * 2 / 5, 3000, 3), "noise mid-way"},
      {Truncated(vbr, vbr.size() / 2), "VBR cut in half"},
      {Truncated(mpeg2, mpeg2.size() * 4 / 5), "MPEG-2 cut"},
      {Truncated(mpeg25, mpeg25.size() * 4 / 5), "MPEG-2.5 cut"}};
  for (const auto& [bytes, what] : damaged) EXPECT_EQ(kAudioStreamDamaged, Open(bytes, &stream)) << what;
  // A stream without the encoder's Info frame whose frames break off mid-way.
  const size_t infoFrame = 417 + ((good[2] >> 1) & 1);  // 128 kbit/s at 44.1 kHz, plus the padding bit
  std::vector<uint8_t> untagged(good.begin() + infoFrame, good.end());
  ASSERT_EQ(kAudioOk, Open(untagged, &stream));
  EXPECT_EQ(kAudioStreamDamaged, Open(WithNoise(untagged, untagged.size() / 3, 4000, 9), &stream));
  EXPECT_EQ(nullptr, stream);
  // The good one still opens: nothing above came from the encoder.
  EXPECT_EQ(kAudioOk, Open(good, &stream));
}

TEST_F(AudioMixerTest, EveryResultHasItsOwnLine) {
  const AudioResult results[] = {kAudioOk, kAudioChannelStolen, kAudioStreamDamaged, kAudioUnsupportedFormat,
                                 kAudioAlreadyInitialised, kAudioInvalidHandle, kAudioInvalidParameter,
                                 kAudioOutOfMemory, kAudioNotInitialised};
  std::set<std::string> texts;
  for (AudioResult result : results) {
    const std::string text = AudioResultText(result);
    EXPECT_TRUE(!text.empty() && text.find('\n') == std::string::npos && text != "unknown result") << result;
    texts.insert(text);
  }
  EXPECT_EQ(std::size(results), texts.size());
  EXPECT_STREQ("unknown result", AudioResultText(12));
  EXPECT_STREQ("unknown result", AudioResultText(-1));
  EXPECT_EQ(0, kAudioOk);
  EXPECT_EQ(11, kAudioChannelStolen);
  EXPECT_EQ(36, kAudioInvalidHandle);
}

TEST_F(AudioMixerTest, LifecycleResults) {
  uint32_t version = 0;
  EXPECT_EQ(kAudioOk, GetAudioMixerVersion(mixer, &version));
  EXPECT_EQ(kAudioMixerVersion, version);
  EXPECT_GE(kAudioMixerVersion, 0x44438u);
  EXPECT_EQ(kAudioAlreadyInitialised, InitAudioMixer(mixer, 1));

  AudioMixer* other = nullptr;
  ASSERT_EQ(kAudioOk, CreateAudioMixer(&other));
  EXPECT_EQ(kAudioInvalidParameter, InitAudioMixer(other, 2));
  AudioStream* stream = nullptr;
  held.push_back(MakeSineMp3({0.5, 44100, 1, false}));
  const auto open = [&](AudioMixer* m) {
    return OpenMemoryStream(m, held[0].data(), static_cast<uint32_t>(held[0].size()), &stream);
  };
  EXPECT_EQ(kAudioNotInitialised, open(other));
  EXPECT_EQ(kAudioOk, CloseAudioMixer(other));  // never initialised: nothing to close
  EXPECT_EQ(kAudioOk, ReleaseAudioMixer(other));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseAudioMixer(other));
  EXPECT_EQ(kAudioInvalidHandle, InitAudioMixer(other, 1));
  EXPECT_EQ(kAudioInvalidHandle, GetAudioMixerVersion(other, &version));

  // Close releases the streams; the mixer can start again.
  ASSERT_EQ(kAudioOk, open(mixer));
  EXPECT_EQ(kAudioOk, CloseAudioMixer(mixer));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseStream(stream));
  EXPECT_EQ(kAudioNotInitialised, UpdateAudioMixer(mixer));
  EXPECT_EQ(kAudioOk, InitAudioMixer(mixer, 1));
  ASSERT_EQ(kAudioOk, open(mixer));
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseStream(stream));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseStream(nullptr));
}

TEST_F(AudioMixerTest, ChannelHandlesAfterTheirPlay) {
  uint32_t position = 123;
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(AudioChannel{nullptr, 0}, &position));
  EXPECT_EQ(0u, position);
  EXPECT_EQ(kAudioInvalidHandle, SetChannelMute(AudioChannel{nullptr, 0}, true));

  AudioStream* stream = nullptr;
  const AudioChannel first = Play({1.0, 44100, 2, false}, &stream);
  AudioChannel second{};
  EXPECT_EQ(kAudioInvalidParameter, GetChannelPositionMs(first, nullptr));
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &second));
  position = 123;
  EXPECT_EQ(kAudioChannelStolen, GetChannelPositionMs(first, &position));
  EXPECT_EQ(0u, position);
  EXPECT_EQ(kAudioChannelStolen, SetChannelMute(first, false));
  EXPECT_EQ(kAudioOk, GetChannelPositionMs(second, &position));
  EXPECT_EQ(kAudioOk, SetChannelMute(second, true));

  // Releasing the stream ends its play.
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));
  position = 123;
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(second, &position));
  EXPECT_EQ(0u, position);
  EXPECT_EQ(kAudioInvalidHandle, PlayStream(mixer, stream, &second));
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(AudioChannel{mixer, 99}, &position));
}

// Reads the position on a 16 ms grid until the track has ended, checking that
// it never goes back, keeps within toleranceMs of the wall time since the
// play began, and ends with 0 and result 36 about when the track does. Mute
// toggles at the frames given.
void FollowToTheEnd(AudioChannel channel, Clock::time_point playStart, uint32_t lengthMs, int64_t toleranceMs,
                    const std::vector<int>& muteToggleFrames = {}) {
  uint32_t last = 0;
  bool muted = false;
  int frame = 0;
  for (;; ++frame) {
    std::this_thread::sleep_until(playStart + std::chrono::milliseconds(16 * frame));
    UpdateAudioMixer(channel.mixer);
    for (int toggleFrame : muteToggleFrames) {
      if (toggleFrame != frame) continue;
      muted = !muted;
      EXPECT_EQ(kAudioOk, SetChannelMute(channel, muted));
    }
    uint32_t position = 0;
    const AudioResult result = GetChannelPositionMs(channel, &position);
    const int64_t wall = MsSince(playStart);
    if (result == kAudioInvalidHandle) {
      EXPECT_EQ(0u, position);
      EXPECT_NEAR(static_cast<double>(lengthMs), static_cast<double>(wall), static_cast<double>(toleranceMs + 20));
      break;
    }
    ASSERT_EQ(kAudioOk, result) << "frame " << frame;
    ASSERT_GE(position, last) << "frame " << frame;
    EXPECT_LE(position, lengthMs);
    EXPECT_NEAR(static_cast<double>(wall), static_cast<double>(position), static_cast<double>(toleranceMs))
        << "frame " << frame;
    last = position;
    ASSERT_LT(wall, lengthMs + 1000) << "the track never ended";
  }
  EXPECT_GE(last + 20, lengthMs);  // it got to the end before it stopped
  // Ended for good.
  uint32_t position = 5;
  UpdateAudioMixer(channel.mixer);
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(channel, &position));
  EXPECT_EQ(0u, position);
}

TEST_F(AudioMixerTest, SilentOutputFollowsWallTimeAndEnds) {
  AudioStream* stream = nullptr;
  Clock::time_point start;
  AudioChannel channel = Play({1.5, 44100, 2, false}, &stream, &start);
  FollowToTheEnd(channel, start, 1500, 10);
  // The stream survives its play and can play again.
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &channel));
  uint32_t position = 99;
  EXPECT_EQ(kAudioOk, GetChannelPositionMs(channel, &position));
  EXPECT_LT(position, 10u);
}

TEST_F(AudioMixerTest, SilentOutputCatchesUpAfterAStall) {
  AudioStream* stream = nullptr;
  Clock::time_point start;
  const AudioChannel channel = Play({1.0, 48000, 1, false}, &stream, &start);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // no service meanwhile
  uint32_t position = 0;
  ASSERT_EQ(kAudioOk, GetChannelPositionMs(channel, &position));
  EXPECT_NEAR(static_cast<double>(MsSince(start)), static_cast<double>(position), 10.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));  // past the end, still no service
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(channel, &position));
  EXPECT_EQ(0u, position);
}

// SDL's dummy driver stands in for a sound card: the callbacks, the device
// clock and the end of the play are those of a real device. Its pacing is
// SDL_Delay's, up to 1% off, and like a real device it falls behind for good
// when the machine stalls it, hence the wide tolerance; a mute that paused
// the play would still put the position 500 ms behind.
class DeviceOutputTest : public AudioMixerTest {
 protected:
  AudioOutput Output() const override { return AudioOutput::kDevice; }
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    AudioMixerTest::SetUp();
  }
};

TEST_F(DeviceOutputTest, PositionRunsWhileMutedAndReadsZeroAfterTheEnd) {
  AudioStream* stream = nullptr;
  Clock::time_point start;
  const AudioChannel channel = Play({1.2, 44100, 2, false}, &stream, &start);
  FollowToTheEnd(channel, start, 1200, 150, {10, 40, 50, 52});
}

TEST_F(DeviceOutputTest, ReleasingAPlayingStreamStopsTheDevice) {
  AudioStream* stream = nullptr;
  const AudioChannel channel = Play({2.0, 22050, 1, false}, &stream);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  uint32_t position = 0;
  EXPECT_EQ(kAudioOk, GetChannelPositionMs(channel, &position));
  EXPECT_GT(position, 30u);
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(channel, &position));
  EXPECT_EQ(kAudioOk, CloseAudioMixer(mixer));
}

// Without a device the layer says so on standard error, once per run.
TEST(AudioMixerSilenceTest, SaysOnceThatTheShowIsSilent) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: earlier tests may have said it already
  EXPECT_EXIT(
      {
        std::FILE* log = std::tmpfile();
        dup2(fileno(log), STDERR_FILENO);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (int i = 0; i < 3; ++i) {
          AudioMixer* mixer = nullptr;
          CreateAudioMixer(&mixer);
          InitAudioMixer(mixer, 1);
          ReleaseAudioMixer(mixer);
        }
        std::fflush(stderr);
        std::rewind(log);
        char text[4096] = {};
        const size_t got = std::fread(text, 1, sizeof text - 1, log);
        int lines = 0;
        for (const char* at = text; (at = std::strstr(at, "the show plays without sound\n")) != nullptr; ++at) ++lines;
        std::exit(got > 0 && lines == 1 ? 0 : 10 + lines);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
