// The audio layer: exact lengths, refused streams and handle results, and a
// play to its end on SDL's dummy device. The dummy device is paced by a
// thread of its own that load stalls at will, so its positions are checked
// for order only, and every wait has a generous deadline. (The silent
// output's positions are checked through the music player.)
#include "engine/music/audio_mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/music/test_tracks.h"

namespace {

class AudioMixerTest : public ::testing::Test {
 protected:
  explicit AudioMixerTest(AudioOutput output = AudioOutput::kSilent) {
    AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, output};
  }
  void SetUp() override {
    ASSERT_EQ(kAudioOk, CreateAudioMixer(&mixer));
    ASSERT_EQ(kAudioOk, InitAudioMixer(mixer, 1));
  }
  void TearDown() override { EXPECT_EQ(kAudioOk, ReleaseAudioMixer(mixer)); }
  // Opens bytes, kept alive by the fixture, on `on` (the fixture's mixer by default).
  AudioResult Open(std::vector<uint8_t> bytes, AudioStream** stream, AudioMixer* on = nullptr) {
    held.push_back(std::move(bytes));
    return OpenMemoryStream(on ? on : mixer, held.back().data(), static_cast<uint32_t>(held.back().size()), stream);
  }

  AudioMixer* mixer = nullptr;
  std::vector<std::vector<uint8_t>> held;  // moved, never copied: the bytes stay put
};

TEST_F(AudioMixerTest, LengthIsExactForEveryMpegVersionAndMode) {
  std::vector<uint8_t> tagged{'I', 'D', '3', 4, 0, 0, 0, 0, 3000 / 128, 3000 % 128};  // 3000 bytes of padding
  tagged.resize(10 + 3000);
  const std::vector<uint8_t> track = MakeSineMp3({1.5, 44100, 2, false});
  tagged.insert(tagged.end(), track.begin(), track.end());
  tagged.insert(tagged.end(), {'T', 'A', 'G'});  // and an ID3v1 tag at the end
  tagged.resize(tagged.size() + 125);
  const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {
      {MakeSineMp3({2.5, 44100, 2, false}), 2500},
      {MakeSineMp3({1.0, 48000, 1, true}), 1000},
      {MakeSineMp3({1.234, 32000, 2, false}), 1234},
      {MakeSineMp3({0.7, 22050, 1, false}), 700},   // MPEG-2
      {MakeSineMp3({0.3333, 8000, 1, true}), 333},  // MPEG-2.5: 2666 frames, 333.25 ms truncated
      {tagged, 1500}};                              // tags around the frames do not count
  for (const auto& [bytes, ms] : cases) {
    AudioStream* stream = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(kAudioOk, Open(bytes, &stream)) << ms;
    EXPECT_EQ(kAudioOk, GetStreamLengthMs(stream, &length));
    EXPECT_EQ(ms, length);
  }
}

TEST_F(AudioMixerTest, RefusesWhatIsNoMp3OrDamaged) {
  const std::vector<uint8_t> good = MakeSineMp3({2.0, 44100, 2, false}), vbr = MakeSineMp3({2.0, 48000, 1, true}),
                             mpeg2 = MakeSineMp3({2.0, 22050, 2, true}), mpeg25 = MakeSineMp3({2.0, 8000, 1, false});
  // Without the encoder's Info frame (128 kbit/s at 44.1 kHz, plus the padding bit) nothing states the frame count.
  const std::vector<uint8_t> untagged(good.begin() + 417 + ((good[2] >> 1) & 1), good.end());
  const size_t n = good.size();
  const std::tuple<std::vector<uint8_t>, AudioResult, const char*> cases[] = {
      {Damaged({}, 0, 0, 30000), kAudioUnsupportedFormat, "noise"},
      {std::vector<uint8_t>(20000, 'w'), kAudioUnsupportedFormat, "text"},
      {{}, kAudioInvalidParameter, "empty"},
      {Damaged(good, 300), kAudioStreamDamaged, "cut inside the first frame"},
      {Damaged(good, n * 3 / 5), kAudioStreamDamaged, "cut at 60%"},
      {Damaged(good, n - 100), kAudioStreamDamaged, "last frame cut"},
      {Damaged(good, n, n * 2 / 5, 3000), kAudioStreamDamaged, "noise mid-way"},
      {Damaged(vbr, vbr.size() / 2), kAudioStreamDamaged, "VBR cut in half"},
      {Damaged(mpeg2, mpeg2.size() * 4 / 5), kAudioStreamDamaged, "MPEG-2 cut"},
      {Damaged(mpeg25, mpeg25.size() * 4 / 5), kAudioStreamDamaged, "MPEG-2.5 cut"},
      {Damaged(untagged, untagged.size(), untagged.size() / 3, 4000), kAudioStreamDamaged, "untagged, noise"},
      {untagged, kAudioOk, "untagged"},
      {good, kAudioOk, "the good one: nothing above came from the encoder"}};
  for (const auto& [bytes, result, what] : cases) {
    AudioStream* stream = reinterpret_cast<AudioStream*>(&held);  // must be cleared on failure
    EXPECT_EQ(result, Open(bytes, &stream)) << what;
    EXPECT_EQ(result == kAudioOk, stream != nullptr) << what;
  }
  AudioStream* stream = nullptr;
  EXPECT_EQ(kAudioInvalidParameter, OpenMemoryStream(mixer, nullptr, 100, &stream));
  EXPECT_EQ(kAudioInvalidParameter, OpenMemoryStream(mixer, good.data(), 100, nullptr));
}

TEST_F(AudioMixerTest, LifecycleAndHandleResults) {
  std::set<std::string> texts{"unknown result"};  // each result has a text of its own
  for (int32_t result : {0, 11, 12, 19, 25, 33, 36, 37, 43, 79}) texts.insert(AudioResultText(result));
  EXPECT_EQ(10u, texts.size());
  const std::vector<uint8_t> track = MakeSineMp3({0.5, 44100, 1, false});
  AudioMixer* other = nullptr;
  AudioStream* stream = nullptr;
  AudioChannel first{}, second{};
  uint32_t value = 123;
  EXPECT_EQ(kAudioAlreadyInitialised, InitAudioMixer(mixer, 1));
  ASSERT_EQ(kAudioOk, CreateAudioMixer(&other));
  EXPECT_EQ(kAudioInvalidParameter, InitAudioMixer(other, 2));
  EXPECT_EQ(kAudioNotInitialised, PlayStream(other, stream, &first));
  EXPECT_EQ(kAudioOk, CloseAudioMixer(other));  // never initialised: nothing to close
  EXPECT_EQ(kAudioOk, ReleaseAudioMixer(other));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseAudioMixer(other));
  EXPECT_EQ(kAudioInvalidHandle, GetAudioMixerVersion(other, &value));
  // Close releases the streams; the mixer can start again.
  ASSERT_EQ(kAudioOk, Open(track, &stream));
  EXPECT_EQ(kAudioOk, CloseAudioMixer(mixer));
  EXPECT_EQ(kAudioInvalidHandle, ReleaseStream(stream));
  EXPECT_EQ(kAudioNotInitialised, UpdateAudioMixer(mixer));
  EXPECT_EQ(kAudioOk, InitAudioMixer(mixer, 1));
  // A channel after its play: 11 once a newer play took it, 36 once the play ended; 0 for the position.
  ASSERT_EQ(kAudioOk, Open(track, &stream));
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &first));
  EXPECT_EQ(kAudioInvalidParameter, GetChannelPositionMs(first, nullptr));
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &second));
  EXPECT_EQ(kAudioChannelStolen, GetChannelPositionMs(first, &value));
  EXPECT_EQ(kAudioChannelStolen, SetChannelMute(first, false));
  EXPECT_EQ(0u, value);
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));  // ends its play
  EXPECT_EQ(kAudioInvalidHandle, SetChannelMute(second, true));
  EXPECT_EQ(kAudioInvalidHandle, PlayStream(mixer, stream, &second));
  EXPECT_EQ(kAudioInvalidHandle, GetChannelPositionMs(AudioChannel{mixer, 99}, &value));
}

// SDL's dummy driver stands in for a sound card: the callbacks, the device
// clock and the end of the play are those of a real device.
class DeviceOutputTest : public AudioMixerTest {
 protected:
  DeviceOutputTest() : AudioMixerTest(AudioOutput::kDevice) { setenv("SDL_AUDIODRIVER", "dummy", 1); }
  void SetUp() override {
    testing::internal::CaptureStderr();
    AudioMixerTest::SetUp();
    EXPECT_EQ("", testing::internal::GetCapturedStderr()) << "no device: this would test the silent output";
  }
  // Services the mixer and reads the position until `until` holds for it or
  // the play ends; the position never goes back nor past the track's 1.2 s.
  AudioResult Follow(AudioChannel channel, const std::function<bool(uint32_t)>& until) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (uint32_t last = 0, position = 0; std::chrono::steady_clock::now() < deadline; last = position) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      UpdateAudioMixer(mixer);
      const AudioResult result = GetChannelPositionMs(channel, &position);
      EXPECT_TRUE(result == kAudioOk ? position >= last && position <= 1200 : position == 0)
          << last << ", " << position;
      if (result != kAudioOk || until(position)) return result;
    }
    ADD_FAILURE() << "the play never got there";
    return kAudioOk;
  }
};

TEST_F(DeviceOutputTest, PositionRunsWhileMutedToTheEndAndReleaseStopsIt) {
  AudioStream* stream = nullptr;
  AudioChannel channel{};
  uint32_t mutedAt = 0;
  const auto toTheEnd = [](uint32_t) { return false; };
  ASSERT_EQ(kAudioOk, Open(MakeSineMp3({1.2, 44100, 2, false}), &stream));
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &channel));
  ASSERT_EQ(kAudioOk, Follow(channel, [&](uint32_t at) { return (mutedAt = at) >= 200; }));
  EXPECT_EQ(kAudioOk, SetChannelMute(channel, true));
  // A mute that paused the play would never let the position get 300 ms further.
  ASSERT_EQ(kAudioOk, Follow(channel, [&](uint32_t at) { return at >= mutedAt + 300; }));
  EXPECT_EQ(kAudioOk, SetChannelMute(channel, false));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel, toTheEnd));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel, toTheEnd));  // ended for good
  // The stream plays again; releasing it mid-play stops the device.
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &channel));
  ASSERT_EQ(kAudioOk, Follow(channel, [](uint32_t at) { return at > 0; }));
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel, toTheEnd));
}

// Without a device the layer says so on standard error, once per run (in a
// fresh process: earlier cases may have said it already).
TEST(AudioMixerSilenceTest, SaysOnceThatTheShowIsSilent) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const auto threeMixers = [] {
    for (int i = 0; i < 3; ++i) {
      AudioMixer* mixer = nullptr;
      CreateAudioMixer(&mixer);
      InitAudioMixer(mixer, 1);
      ReleaseAudioMixer(mixer);
    }
    std::exit(0);
  };
  EXPECT_EXIT(threeMixers(), ::testing::ExitedWithCode(0),
              "^audio: no audio device \\(dummy audio driver\\); the show plays without sound\n$");
}

}  // namespace
