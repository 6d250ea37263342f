#include "engine/music/audio_mixer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "engine/music/audio_device.h"
#include "engine/music/mp3_decoder.h"
#include "engine/music/playback_clock.h"

struct AudioStream {
  AudioMixer* mixer;
  Mp3Decoder* decoder;
  Mp3Format format;
  uint32_t lengthMs;
};

namespace {

// The mixer's one channel. While a device plays it, the device's thread owns
// the stream's decoder and writes the fields marked "device thread"; the
// main thread reads those under `lock`.
struct ChannelSlot {
  AudioStream* stream = nullptr;  // the play in progress; null when the channel is free
  uint32_t play = 0;              // serial of the latest play, from 1; never reused by a mixer
  uint64_t firstFrame = 0;        // the track's frame the play started at; the counts below are from there
  std::atomic<bool> muted{false};
  uint64_t lastAudibleFrames = 0;  // the latest position reported, frames; positions never go back

  // Silent output (main thread only).
  int64_t startNs = 0;          // monotonic time the play began
  uint64_t consumedFrames = 0;  // decoded and dropped so far
  uint64_t endFrame = 0;        // the play's frames to the track's end; lowered if decoding ends early
  bool consumedAll = false;

  // Device output.
  std::mutex lock;
  bool fed = false;                // device thread, under lock: the device has taken its first audio
  uint64_t trackFramesHanded = 0;  // device thread, under lock: frames of the track among those handed
  bool trackFinished = false;      // device thread, under lock: the decoder has given its last frame
};

}  // namespace

struct AudioMixer {
  AudioMixerSettings settings{};
  bool initialised = false;
  bool startedDevices = false;     // StartAudioDevices succeeded for this mixer
  bool silent = false;             // no device: the wall clock consumes the stream
  AudioDevice* device = nullptr;   // open while a play goes to the device
  std::vector<AudioStream*> streams;
  std::vector<int16_t> scratch;  // where the silent output decodes to
  ChannelSlot slot;
};

namespace {

constexpr uint32_t kScratchFrames = 4096;       // silent output's decoding step, ~93 ms at 44.1 kHz
constexpr int kFirstHandOverWaitMs = 200;       // longest wait for a device to take its first audio

std::vector<AudioMixer*>& LiveMixers() {
  static std::vector<AudioMixer*> mixers;
  return mixers;
}

bool IsLive(const AudioMixer* mixer) {
  const std::vector<AudioMixer*>& live = LiveMixers();
  return mixer != nullptr && std::find(live.begin(), live.end(), mixer) != live.end();
}

AudioMixer* OwnerOf(const AudioStream* stream) {
  if (stream == nullptr) return nullptr;
  for (AudioMixer* mixer : LiveMixers()) {
    if (std::find(mixer->streams.begin(), mixer->streams.end(), stream) != mixer->streams.end()) return mixer;
  }
  return nullptr;
}

// Said once per run, whatever the number of mixers.
void AnnounceSilence(const char* reason) {
  static bool said = false;
  if (said) return;
  said = true;
  std::fprintf(stderr, "audio: %s; the show plays without sound\n", reason);
  std::fflush(stderr);
}

void AnnounceNoDevice(const AudioDeviceReason& reason) {
  char line[sizeof reason.text + 24];
  std::snprintf(line, sizeof line, "no audio device (%s)", reason.text);
  AnnounceSilence(line);
}

// Device thread: the next `frames` frames of the play.
void FeedDevice(void* context, int16_t* out, size_t frames) {
  auto* slot = static_cast<ChannelSlot*>(context);
  const AudioStream* stream = slot->stream;
  const size_t channels = stream->format.channels;
  size_t got = 0;
  bool finished = slot->trackFinished;  // written by this thread only while the device runs
  if (!finished) got = DecodeMp3Frames(stream->decoder, out, frames, &finished);
  std::fill(out + got * channels, out + frames * channels, int16_t{0});
  // Muting silences what is handed over; the track goes on being decoded and counted.
  if (slot->muted.load(std::memory_order_relaxed)) std::fill(out, out + frames * channels, int16_t{0});
  std::lock_guard<std::mutex> guard(slot->lock);
  slot->fed = true;
  slot->trackFramesHanded += got;
  if (finished) slot->trackFinished = true;
}

void CloseDevice(AudioMixer* mixer) {
  if (mixer->device == nullptr) return;
  CloseAudioDevice(mixer->device);
  mixer->device = nullptr;
}

// Ends the play in progress (its handle then answers 36). The device only
// pauses: closing it waits for its thread, up to tens of ms, which the frame
// that notices the end should not pay; it closes at the next play or release.
void FreeChannel(AudioMixer* mixer) {
  if (mixer->device != nullptr) PauseAudioDevice(mixer->device);  // no feed runs once this returns
  mixer->slot.stream = nullptr;
}

// Silent output: decodes and drops what the wall clock has consumed up to nowNs.
void ConsumeSilently(AudioMixer* mixer, int64_t nowNs) {
  ChannelSlot& slot = mixer->slot;
  const AudioStream* stream = slot.stream;
  const uint64_t due = std::min(FramesInNs(nowNs - slot.startNs, stream->format.rate), slot.endFrame);
  while (!slot.consumedAll && slot.consumedFrames < due) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(due - slot.consumedFrames, kScratchFrames));
    bool finished = false;
    slot.consumedFrames += DecodeMp3Frames(stream->decoder, mixer->scratch.data(), step, &finished);
    if (finished) {
      slot.consumedAll = true;
      slot.endFrame = slot.consumedFrames;
    }
  }
}

// Where the play is at nowNs, in frames from the track's start; false once the track
// has been heard to its end (the caller then frees the channel).
bool PlayingAt(AudioMixer* mixer, int64_t nowNs, uint64_t* frames) {
  ChannelSlot& slot = mixer->slot;
  uint64_t audible = 0;
  if (mixer->device != nullptr) {
    uint64_t trackFrames = 0;
    bool finished = false;
    {
      std::lock_guard<std::mutex> guard(slot.lock);
      trackFrames = slot.trackFramesHanded;
      finished = slot.trackFinished;
    }
    // Read after the track's count, so that once finished, all of it has been counted.
    audible = AudibleDeviceFrames(mixer->device, nowNs);
    if (finished && audible >= trackFrames) return false;
    audible = std::min(audible, trackFrames);
  } else {
    ConsumeSilently(mixer, nowNs);
    audible = FramesInNs(nowNs - slot.startNs, slot.stream->format.rate);
    if (slot.consumedAll && audible >= slot.endFrame) return false;
    audible = std::min(audible, slot.endFrame);
  }
  slot.lastAudibleFrames = std::max(slot.lastAudibleFrames, audible);
  *frames = slot.firstFrame + slot.lastAudibleFrames;
  return true;
}

AudioResult CheckChannel(AudioChannel channel) {
  if (channel.play == 0 || !IsLive(channel.mixer)) return kAudioInvalidHandle;
  const ChannelSlot& slot = channel.mixer->slot;
  if (channel.play < slot.play) return kAudioChannelStolen;
  if (channel.play > slot.play || slot.stream == nullptr) return kAudioInvalidHandle;
  return kAudioOk;
}

void ReleaseStreamOf(AudioMixer* mixer, AudioStream* stream) {
  if (mixer->slot.stream == stream) FreeChannel(mixer);
  if (mixer->slot.stream == nullptr) CloseDevice(mixer);
  mixer->streams.erase(std::find(mixer->streams.begin(), mixer->streams.end(), stream));
  CloseMp3Decoder(stream->decoder);
  delete stream;
}

void WaitForFirstHandOver(ChannelSlot& slot) {
  for (int waited = 0; waited < kFirstHandOverWaitMs; ++waited) {
    {
      std::lock_guard<std::mutex> guard(slot.lock);
      if (slot.fed) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

const char* AudioResultText(int32_t result) {
  switch (result) {
    case kAudioOk: return "no error";
    case kAudioChannelStolen: return "the channel has since been given to a newer play";
    case kAudioStreamDamaged: return "the MP3 stream is truncated or breaks off part-way";
    case kAudioUnsupportedFormat: return "the data holds no MPEG audio stream that can be played";
    case kAudioAlreadyInitialised: return "the mixer is already initialised";
    case kAudioInvalidHandle: return "no live mixer, stream or channel is behind the handle";
    case kAudioInvalidParameter: return "a parameter is missing or out of range";
    case kAudioOutOfMemory: return "not enough memory";
    case kAudioNotInitialised: return "the mixer has not been initialised";
    default: return "unknown result";
  }
}

AudioMixerSettings& AudioMixerDefaults() {
  static AudioMixerSettings settings{kAudioMixerVersion, AudioOutput::kAutomatic};
  return settings;
}

AudioResult CreateAudioMixer(AudioMixer** mixer) {
  if (mixer == nullptr) return kAudioInvalidParameter;
  *mixer = new (std::nothrow) AudioMixer();
  if (*mixer == nullptr) return kAudioOutOfMemory;
  (*mixer)->settings = AudioMixerDefaults();
  LiveMixers().push_back(*mixer);
  return kAudioOk;
}

AudioResult GetAudioMixerVersion(AudioMixer* mixer, uint32_t* version) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (version == nullptr) return kAudioInvalidParameter;
  *version = mixer->settings.reportedVersion;
  return kAudioOk;
}

AudioResult InitAudioMixer(AudioMixer* mixer, int channelCount) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (mixer->initialised) return kAudioAlreadyInitialised;
  if (channelCount != 1) return kAudioInvalidParameter;
  mixer->scratch.assign(size_t{kScratchFrames} * 2, 0);
  mixer->silent = true;
  if (mixer->settings.output == AudioOutput::kSilent) {
    AnnounceSilence("silent output chosen");
  } else {
    // Found out now rather than at the first play, so that the message comes
    // before a program takes over its terminal.
    AudioDeviceReason reason{};
    mixer->startedDevices = StartAudioDevices(mixer->settings.output == AudioOutput::kDevice, &reason);
    if (mixer->startedDevices) {
      mixer->silent = false;
    } else {
      AnnounceNoDevice(reason);
    }
  }
  mixer->initialised = true;
  return kAudioOk;
}

AudioResult OpenMemoryStream(AudioMixer* mixer, const uint8_t* bytes, uint32_t byteLength, AudioStream** stream) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (stream == nullptr) return kAudioInvalidParameter;
  *stream = nullptr;
  if (!mixer->initialised) return kAudioNotInitialised;
  if (bytes == nullptr || byteLength == 0) return kAudioInvalidParameter;
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  switch (OpenMp3Decoder(bytes, byteLength, &decoder, &format)) {
    case Mp3OpenStatus::kOk: break;
    case Mp3OpenStatus::kNotMp3: return kAudioUnsupportedFormat;
    case Mp3OpenStatus::kDamaged: return kAudioStreamDamaged;
    case Mp3OpenStatus::kOutOfMemory: return kAudioOutOfMemory;
  }
  if (format.totalFrames * 1000 / format.rate > UINT32_MAX) {  // its length would not fit the ms position
    CloseMp3Decoder(decoder);
    return kAudioUnsupportedFormat;
  }
  auto* opened = new (std::nothrow) AudioStream{mixer, decoder, format, FramesToMs(format.totalFrames, format.rate)};
  if (opened == nullptr) {
    CloseMp3Decoder(decoder);
    return kAudioOutOfMemory;
  }
  mixer->streams.push_back(opened);
  *stream = opened;
  return kAudioOk;
}

AudioResult GetStreamLengthMs(AudioStream* stream, uint32_t* lengthMs) {
  if (OwnerOf(stream) == nullptr) return kAudioInvalidHandle;
  if (lengthMs == nullptr) return kAudioInvalidParameter;
  *lengthMs = stream->lengthMs;
  return kAudioOk;
}

AudioResult PlayStream(AudioMixer* mixer, AudioStream* stream, AudioChannel* channel, uint32_t startMs) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (channel == nullptr) return kAudioInvalidParameter;
  *channel = AudioChannel{nullptr, 0};
  if (!mixer->initialised) return kAudioNotInitialised;
  if (OwnerOf(stream) != mixer) return kAudioInvalidHandle;
  if (startMs > stream->lengthMs) return kAudioInvalidParameter;

  FreeChannel(mixer);
  CloseDevice(mixer);
  ChannelSlot& slot = mixer->slot;
  // Rounded up, so that the first position reads startMs, not 1 ms before it.
  const uint64_t rate = stream->format.rate;
  const uint64_t firstFrame = std::min((uint64_t{startMs} * rate + 999) / 1000, stream->format.totalFrames);
  if (!SeekMp3Decoder(stream->decoder, firstFrame)) return kAudioStreamDamaged;
  slot.stream = stream;
  slot.play += 1;
  slot.firstFrame = firstFrame;
  slot.muted.store(false);
  slot.lastAudibleFrames = 0;
  slot.consumedFrames = 0;
  slot.endFrame = stream->format.totalFrames - firstFrame;
  slot.consumedAll = slot.endFrame == 0;  // started at the very end: nothing to consume
  slot.fed = false;
  slot.trackFramesHanded = 0;
  slot.trackFinished = false;

  if (!mixer->silent) {
    AudioDeviceReason reason{};
    mixer->device = OpenAudioDevice(stream->format.rate, stream->format.channels, FeedDevice, &slot, &reason);
    if (mixer->device == nullptr) {
      AnnounceNoDevice(reason);
      mixer->silent = true;
    }
  }
  slot.startNs = MonotonicNs();
  if (mixer->device != nullptr) {
    ResumeAudioDevice(mixer->device);
    WaitForFirstHandOver(slot);
  }
  *channel = AudioChannel{mixer, slot.play};
  return kAudioOk;
}

AudioResult UpdateAudioMixer(AudioMixer* mixer) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (!mixer->initialised) return kAudioNotInitialised;
  uint64_t frames = 0;
  if (mixer->slot.stream != nullptr && !PlayingAt(mixer, MonotonicNs(), &frames)) FreeChannel(mixer);
  return kAudioOk;
}

AudioResult GetChannelPositionMs(AudioChannel channel, uint32_t* positionMs) {
  if (positionMs == nullptr) return kAudioInvalidParameter;
  *positionMs = 0;
  const AudioResult handle = CheckChannel(channel);
  if (handle != kAudioOk) return handle;
  AudioMixer* mixer = channel.mixer;
  uint64_t frames = 0;
  if (!PlayingAt(mixer, MonotonicNs(), &frames)) {
    FreeChannel(mixer);
    return kAudioInvalidHandle;
  }
  *positionMs = FramesToMs(frames, mixer->slot.stream->format.rate);
  return kAudioOk;
}

AudioResult SetChannelMute(AudioChannel channel, bool muted) {
  const AudioResult handle = CheckChannel(channel);
  if (handle != kAudioOk) return handle;
  channel.mixer->slot.muted.store(muted, std::memory_order_relaxed);
  return kAudioOk;
}

AudioResult ReleaseStream(AudioStream* stream) {
  AudioMixer* mixer = OwnerOf(stream);
  if (mixer == nullptr) return kAudioInvalidHandle;
  ReleaseStreamOf(mixer, stream);
  return kAudioOk;
}

AudioResult CloseAudioMixer(AudioMixer* mixer) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  if (!mixer->initialised) return kAudioOk;
  FreeChannel(mixer);
  CloseDevice(mixer);
  while (!mixer->streams.empty()) ReleaseStreamOf(mixer, mixer->streams.back());
  if (mixer->startedDevices) StopAudioDevices();
  mixer->startedDevices = false;
  mixer->silent = false;
  mixer->scratch = std::vector<int16_t>();
  mixer->initialised = false;
  return kAudioOk;
}

AudioResult ReleaseAudioMixer(AudioMixer* mixer) {
  if (!IsLive(mixer)) return kAudioInvalidHandle;
  CloseAudioMixer(mixer);
  std::vector<AudioMixer*>& live = LiveMixers();
  live.erase(std::find(live.begin(), live.end(), mixer));
  delete mixer;
  return kAudioOk;
}
