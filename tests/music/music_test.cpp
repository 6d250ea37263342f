// The music: the audio layer (exact lengths, refused streams and handle
// results, a play to its end on SDL's dummy device, the device's
// audible-position clock) and the music player as the frame loop uses it
// (the track from the working directory, the clock rule, mute, the end of
// the track, the version check and the failure rule).
//
// The dummy device is paced by a thread of its own that load stalls at will,
// so its positions are checked for order only, and every wait has a generous
// deadline. The silent output runs on the monotonic clock, so the player's
// positions are checked against clock readings taken around the play and the
// read: never ahead of the first, never behind the second, however loaded the
// machine; no position is compared with wall time give or take a tolerance.
// The line saying that the show plays without sound is checked where demo_gl
// runs on the dummy driver (tests/gl/demo_gl_test.cpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "engine/music/audio_mixer.h"
#include "engine/music/mp3_decoder.h"
#include "engine/music/music_player.h"
#include "engine/music/playback_clock.h"
#include "engine/resources/resource_table.h"
#include "tests/music/test_tracks.h"
#include "tests/support/portable.h"

namespace {

// The first `keep` bytes of a track, with `noise` pseudo-random bytes written over them from `at`.
std::vector<uint8_t> Damaged(const std::vector<uint8_t>& track, size_t keep, size_t at = 0, size_t noise = 0) {
  std::vector<uint8_t> out(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(keep));
  out.resize(std::max(keep, at + noise));
  for (uint32_t i = 0, seed = 1; i < noise; ++i)
    out[at + i] = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  return out;
}

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
  // Opens bytes, kept alive by the fixture.
  AudioResult Open(std::vector<uint8_t> bytes, AudioStream** stream) {
    held.push_back(std::move(bytes));
    return OpenMemoryStream(mixer, held.back().data(), static_cast<uint32_t>(held.back().size()), stream);
  }

  AudioMixer* mixer = nullptr;
  std::vector<std::vector<uint8_t>> held;  // moved, never copied: the bytes stay put
};

// What opening bytes gives: the exact length for every MPEG version and
// mode, or the refusal (25 for what is no MP3 at all, 19 for a damaged one).
TEST_F(AudioMixerTest, OpensWithTheExactLengthOrRefuses) {
  const std::vector<uint8_t> good = MakeSineMp3({2.0, 44100, 2, false}), vbr = MakeSineMp3({2.0, 48000, 1, true}),
                             mpeg2 = MakeSineMp3({2.0, 22050, 2, true}), mpeg25 = MakeSineMp3({2.0, 8000, 1, false});
  // Without the encoder's Info frame (128 kbit/s at 44.1 kHz, plus the padding bit) nothing states the frame count.
  const std::vector<uint8_t> untagged(good.begin() + 417 + ((good[2] >> 1) & 1), good.end());
  // Tags around the frames do not count: 3000 bytes of ID3v2 padding in front, an ID3v1 tag at the end.
  std::vector<uint8_t> tagged = MakeSineMp3({1.5, 44100, 2, false});
  tagged.insert(tagged.begin(), 3010, 0);
  std::copy_n("ID3\4\0\0\0\0\x17\x38", 10, tagged.begin());
  tagged.insert(tagged.end(), {'T', 'A', 'G'});
  tagged.resize(tagged.size() + 125);
  const size_t n = good.size();
  const std::tuple<std::vector<uint8_t>, AudioResult, uint32_t, const char*> cases[] = {   // bytes, result, ms
      {good, kAudioOk, 2000, "MPEG-1"},
      {vbr, kAudioOk, 2000, "VBR"},
      {MakeSineMp3({1.234, 32000, 2, false}), kAudioOk, 1234, "MPEG-1 at 32 kHz"},
      {MakeSineMp3({0.7, 22050, 1, false}), kAudioOk, 700, "MPEG-2"},
      {MakeSineMp3({0.3333, 8000, 1, true}), kAudioOk, 333, "MPEG-2.5: 2666 frames, 333.25 ms truncated"},
      {tagged, kAudioOk, 1500, "tagged"},
      {untagged, kAudioOk, 2037, "untagged: 78 frames, the encoder's delay and padding included"},
      {Damaged({}, 0, 0, 30000), kAudioUnsupportedFormat, 0, "noise"},
      {std::vector<uint8_t>(20000, 'w'), kAudioUnsupportedFormat, 0, "text"},
      {{}, kAudioInvalidParameter, 0, "empty"},
      {Damaged(good, 300), kAudioStreamDamaged, 0, "cut inside the first frame"},
      {Damaged(good, n * 3 / 5), kAudioStreamDamaged, 0, "cut at 60%"},
      {Damaged(good, n - 100), kAudioStreamDamaged, 0, "last frame cut"},
      {Damaged(good, n, n * 2 / 5, 3000), kAudioStreamDamaged, 0, "noise mid-way"},
      {Damaged(vbr, vbr.size() / 2), kAudioStreamDamaged, 0, "VBR cut in half"},
      {Damaged(mpeg2, mpeg2.size() * 4 / 5), kAudioStreamDamaged, 0, "MPEG-2 cut"},
      {Damaged(mpeg25, mpeg25.size() * 4 / 5), kAudioStreamDamaged, 0, "MPEG-2.5 cut"},
      {Damaged(untagged, untagged.size(), untagged.size() / 3, 4000), kAudioStreamDamaged, 0, "untagged, noise"}};
  for (const auto& [bytes, result, ms, what] : cases) {
    AudioStream* stream = reinterpret_cast<AudioStream*>(&held);  // must be cleared on failure
    uint32_t length = 0;
    EXPECT_EQ(result, Open(bytes, &stream)) << what;
    EXPECT_EQ(result == kAudioOk, stream != nullptr) << what;
    if (stream != nullptr) { EXPECT_EQ(kAudioOk, GetStreamLengthMs(stream, &length)) << what; }
    EXPECT_EQ(ms, length) << what;
  }
}

// A seek gives the very samples a decode from the start gives there, also
// after a decode that went elsewhere, and up to the track's exact end.
TEST(Mp3DecoderTest, SeekGivesTheSamplesOfAStraightDecode) {
  const std::vector<uint8_t> track = MakeSineMp3({1.0, 44100, 2, true});
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  ASSERT_EQ(Mp3OpenStatus::kOk, OpenMp3Decoder(track.data(), track.size(), &decoder, &format));
  const auto decode = [&](uint64_t frames) {
    std::vector<int16_t> pcm(frames * 2);
    bool finished = false;
    pcm.resize(DecodeMp3Frames(decoder, pcm.data(), frames, &finished) * 2);
    return pcm;
  };
  const std::vector<int16_t> whole = decode(format.totalFrames + 100);
  ASSERT_EQ(format.totalFrames * 2, whole.size());
  for (const uint64_t at : {uint64_t{0}, uint64_t{1}, uint64_t{1151}, uint64_t{1152}, uint64_t{30001},
                            format.totalFrames - 1, format.totalFrames}) {
    ASSERT_TRUE(SeekMp3Decoder(decoder, at)) << at;
    EXPECT_TRUE(std::equal(whole.begin() + static_cast<std::ptrdiff_t>(at * 2), whole.end(),
                           decode(format.totalFrames - at + 100).begin()))
        << at;
  }
  EXPECT_FALSE(SeekMp3Decoder(decoder, format.totalFrames + 1));
  CloseMp3Decoder(decoder);
}

// The results in the order of the calls: a second init; a mixer never
// initialised (closing it is no error), then released; Close releases the
// streams and the mixer starts again; a channel after its play answers 11
// once a newer play took it, 36 once the play ended, and 0 for the position.
TEST_F(AudioMixerTest, LifecycleAndHandleResults) {
  const std::vector<uint8_t> track = MakeSineMp3({0.5, 44100, 1, false});
  AudioMixer* other = nullptr;
  AudioStream* stream = nullptr;
  AudioChannel first{}, second{};
  uint32_t version = 0, position = 123;
  const std::vector<int32_t> results = {
      InitAudioMixer(mixer, 1), CreateAudioMixer(&other), InitAudioMixer(other, 2), PlayStream(other, stream, &first),
      CloseAudioMixer(other), ReleaseAudioMixer(other), ReleaseAudioMixer(other), GetAudioMixerVersion(other, &version),
      Open(track, &stream), CloseAudioMixer(mixer), ReleaseStream(stream), UpdateAudioMixer(mixer),
      InitAudioMixer(mixer, 1), Open(track, &stream), PlayStream(mixer, stream, &first),
      GetChannelPositionMs(first, nullptr), PlayStream(mixer, stream, &second), GetChannelPositionMs(first, &position),
      SetChannelMute(first, false), ReleaseStream(stream), SetChannelMute(second, true),
      PlayStream(mixer, stream, &second), GetChannelPositionMs(AudioChannel{mixer, 99}, &version),
      OpenMemoryStream(mixer, track.data(), 100, nullptr)};
  EXPECT_EQ(results, (std::vector<int32_t>{33, 0, 37, 79, 0, 0, 36, 36, 0, 0, 36, 79, 0, 0, 0, 37, 0, 11, 11, 0, 36,
                                           36, 36, 37}));
  EXPECT_EQ(0u, position);
}

// A stand-in for a sound card (SDL's dummy driver; under Wine, waveOut over
// ALSA's null output): the callbacks, the device clock and the end of the
// play are those of a real device.
class DeviceOutputTest : public AudioMixerTest {
 protected:
  DeviceOutputTest() : AudioMixerTest(AudioOutput::kDevice) { SetTestEnvironment("SDL_AUDIODRIVER", "dummy"); }
  void SetUp() override {
    testing::internal::CaptureStderr();
    AudioMixerTest::SetUp();
    EXPECT_EQ("", testing::internal::GetCapturedStderr()) << "no device: this would test the silent output";
  }
  // Services the mixer and reads the position until `until` holds for it or
  // the play ends; the position never goes back nor past the track's 1.2 s.
  AudioResult Follow(AudioChannel channel, const std::function<bool(uint32_t)>& until = [](uint32_t) { return false; }) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (uint32_t last = 0, position = 0; std::chrono::steady_clock::now() < deadline; last = position) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      UpdateAudioMixer(mixer);
      const AudioResult result = GetChannelPositionMs(channel, &position);
      EXPECT_TRUE(result == kAudioOk ? position >= last && position <= 1200 : position == 0) << last << ", " << position;
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
  ASSERT_EQ(kAudioOk, Open(MakeSineMp3({1.2, 44100, 2, false}), &stream));
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &channel));
  ASSERT_EQ(kAudioOk, Follow(channel, [&](uint32_t at) { return (mutedAt = at) >= 200; }));
  EXPECT_EQ(kAudioOk, SetChannelMute(channel, true));
  // A mute that paused the play would never let the position get 300 ms further.
  ASSERT_EQ(kAudioOk, Follow(channel, [&](uint32_t at) { return at >= mutedAt + 300; }));
  EXPECT_EQ(kAudioOk, SetChannelMute(channel, false));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel));  // ended for good
  // The stream plays again; releasing it mid-play stops the device.
  ASSERT_EQ(kAudioOk, PlayStream(mixer, stream, &channel));
  ASSERT_EQ(kAudioOk, Follow(channel, [](uint32_t at) { return at > 0; }));
  EXPECT_EQ(kAudioOk, ReleaseStream(stream));
  EXPECT_EQ(kAudioInvalidHandle, Follow(channel));
}

// The device clock driven by hand-made callback times: exact, whatever the load.
TEST(PlaybackClockTest, HandedLessTheBufferThenRunsWithTheClockUpToWhatWasHanded) {
  constexpr int64_t kMs = 1000000;  // ns
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

using Clock = std::chrono::steady_clock;

uint32_t MsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

// Forked death tests: the child stays in this case's scratch directory with the track written there
// (a re-executed child starts in the directory shared by all cases, without the harness).
struct MusicPlayerTest : ::testing::Test {
  MusicPlayerTest() { GTEST_FLAG_SET(death_test_style, "fast"); }
  AudioMixerSettings& settings = AudioMixerDefaults() = AudioMixerSettings{kAudioMixerVersion, AudioOutput::kSilent};
};

// The frame loop's use with the oldest mixer accepted: service then position
// each frame, a mute toggle now and then, one frame that stalls for 300 ms,
// the end rule (0 with 36), and a second play started 300 ms into the track.
TEST_F(MusicPlayerTest, FrameLoopClockFollowsTheTrackToItsEnd) {
  WriteFileBytes(kMusicTrackName, MakeSineMp3({0.6, 44100, 2, false}));
  settings.reportedVersion = kRequiredMixerVersion;
  MusicPlayer* player = MusicPlayer::Create();   // an older one would leave the mixer uninitialised: LoadTrack fails
  player->LoadTrack();
  ASSERT_EQ(600u, player->lengthMs);
  uint32_t position = 0;
  for (const uint32_t start : {0u, 300u}) {
    const Clock::time_point beforePlay = Clock::now();
    player->StartPlayback(start);
    const Clock::time_point afterPlay = Clock::now();
    for (uint32_t frame = 0, last = 0;; ++frame, last = position) {
      std::this_thread::sleep_for(std::chrono::milliseconds(frame == 5 ? 300 : 16));
      const Clock::time_point beforeRead = Clock::now();
      player->Update();
      const int32_t result = player->Position(&position);
      const uint32_t upper = start + MsSince(beforePlay), lower = start + MsSince(afterPlay, beforeRead);
      ASSERT_TRUE(MusicPlayer::PositionIsClock(result)) << result;
      if (result == kAudioInvalidHandle) {
        EXPECT_EQ(0u, position);
        EXPECT_GE(upper, 600u) << "ended early";
        break;
      }
      // Never back, never ahead of the clock, never behind it (+1: two truncations), never past the end.
      EXPECT_TRUE(last <= position && position <= upper && lower <= position + 1 && lower <= 600u)
          << "frame " << frame << ": " << last << " <= " << position << " <= " << upper << ", " << lower;
      if (frame % 20 == 19) player->SetMute(frame % 40 == 19);
      ASSERT_LT(upper, 60000u) << "the track never ended";
    }
  }
  player->Update();
  EXPECT_EQ(kAudioInvalidHandle, player->Position(&position));  // ended for good
  EXPECT_TRUE(MusicPlayer::PositionIsClock(kAudioChannelStolen));
  EXPECT_FALSE(MusicPlayer::PositionIsClock(player->Position(nullptr)));  // 37
  player->Shutdown();
  delete player;
  ResourceTable::Release();
}

// Each ends the program (exit code -1) with its message on standard output.
// A mixer older than the oldest accepted gets the old-version message and
// stays uninitialised: the next fatal call, opening the track, decides.
// Shutdown releases unconditionally: without a track the first release fails.
TEST_F(MusicPlayerTest, OldMixerMissingOrBadTrackEndWithTheirMessage) {
  const std::vector<uint8_t> good = MakeSineMp3({1.5, 44100, 2, false});
  const std::tuple<std::vector<uint8_t>, uint32_t, std::string> cases[] = {
      {{}, kRequiredMixerVersion, "resource \"qx3.mp3\" not found"},
      {Damaged({}, 0, 0, 50000), kRequiredMixerVersion,
       "FMOD error! \\(25\\) the data holds no MPEG audio stream that can be played"},
      {Damaged(good, good.size() / 2), kRequiredMixerVersion,
       "FMOD error! \\(19\\) the MP3 stream is truncated or breaks off part-way"},
      {good, kRequiredMixerVersion - 1,
       "Error!  You are using an old version of FMOD 00044437.  This program requires 00044438\n"
       "FMOD error! \\(79\\) the mixer has not been initialised"}};
  for (const auto& [bytes, version, message] : cases) {
    if (!bytes.empty()) WriteFileBytes(kMusicTrackName, bytes);
    settings.reportedVersion = version;
    EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), MusicPlayer::Create()->LoadTrack()),
                ::testing::ExitedWithCode(kFatalExitStatus), message + "\n");
  }
  EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), MusicPlayer::Create()->Shutdown()), ::testing::ExitedWithCode(kFatalExitStatus),
              "FMOD error! \\(36\\) no live mixer, stream or channel is behind the handle\n");
}

}  // namespace
