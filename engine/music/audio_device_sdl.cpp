// The output device over SDL2's audio. SDL converts to whatever the hardware
// wants, so the feed always sees the track's own rate and layout. The audible
// position comes from a PlaybackClock: frames handed less SDL's buffer,
// running on with the monotonic clock between callbacks.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/music/audio_device.h"
#include "engine/music/playback_clock.h"

struct AudioDevice {
  SDL_AudioDeviceID id = 0;
  AudioFeed feed = nullptr;
  void* context = nullptr;
  uint32_t channels = 0;    // samples per frame, 1 or 2
  std::mutex lock;
  PlaybackClock clock{};    // device thread writes, the mixer's thread reads; under lock
  uint64_t lastAudible = 0;  // mixer's thread: the latest answer, frames
};

namespace {

constexpr uint16_t kBufferFrames = 1024;  // ~23 ms at 44.1 kHz; halved below 32 kHz

// The sound libraries under SDL print their own probing failures on standard
// error (a machine without a card gets a screenful); the mixer's one line
// says all the viewer needs, so the probes run with standard error muted.
struct QuietStandardError {
  int saved;
  QuietStandardError() {
    std::fflush(stderr);
    saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStandardError() {
    std::fflush(stderr);
    if (saved < 0) return;
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
};

void SayWhy(AudioDeviceReason* reason, const char* text) {
  std::snprintf(reason->text, sizeof reason->text, "%s", text);
}

// Device thread: the next `len` bytes.
void FeedFromSdl(void* userdata, Uint8* out, int len) {
  auto* device = static_cast<AudioDevice*>(userdata);
  const uint64_t frames = static_cast<uint64_t>(len) / (device->channels * sizeof(int16_t));
  device->feed(device->context, reinterpret_cast<int16_t*>(out), static_cast<size_t>(frames));
  const int64_t now = MonotonicNs();
  std::lock_guard<std::mutex> guard(device->lock);
  device->clock.HandOver(frames, now);
}

SDL_AudioSpec Wanted(uint32_t rate, uint32_t channels) {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(rate);
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<Uint8>(channels);
  wanted.samples = rate >= 32000 ? kBufferFrames : kBufferFrames / 2;
  return wanted;
}

}  // namespace

bool StartAudioDevices(bool standInCounts, AudioDeviceReason* reason) {
  QuietStandardError quiet;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    SayWhy(reason, SDL_GetError());
    return false;
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  bool opens = false;
  if (!standInCounts && driver != nullptr && std::strcmp(driver, "dummy") == 0) {
    SayWhy(reason, "dummy audio driver");
  } else {
    const SDL_AudioSpec probe = Wanted(44100, 2);
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &probe, nullptr, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (id == 0) {
      SayWhy(reason, SDL_GetError());
    } else {
      SDL_CloseAudioDevice(id);
      opens = true;
    }
  }
  if (!opens) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return opens;
}

void StopAudioDevices() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

AudioDevice* OpenAudioDevice(uint32_t rate, uint32_t channels, AudioFeed feed, void* context,
                             AudioDeviceReason* reason) {
  auto* device = new (std::nothrow) AudioDevice();
  if (device == nullptr) {
    SayWhy(reason, "not enough memory");
    return nullptr;
  }
  device->feed = feed;
  device->context = context;
  device->channels = channels;
  SDL_AudioSpec wanted = Wanted(rate, channels);
  wanted.callback = FeedFromSdl;
  wanted.userdata = device;
  SDL_AudioSpec obtained{};
  {
    QuietStandardError quiet;
    // No changes allowed: SDL converts, so the feed gets the rate and layout asked for.
    device->id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  }
  if (device->id == 0) {
    SayWhy(reason, SDL_GetError());
    delete device;
    return nullptr;
  }
  device->clock.Start(rate, obtained.samples);
  return device;
}

void ResumeAudioDevice(AudioDevice* device) { SDL_PauseAudioDevice(device->id, 0); }

// SDL runs the callback under the device's lock, which pausing takes too.
void PauseAudioDevice(AudioDevice* device) { SDL_PauseAudioDevice(device->id, 1); }

void CloseAudioDevice(AudioDevice* device) {
  SDL_CloseAudioDevice(device->id);  // returns once the device thread has stopped
  delete device;
}

uint64_t AudibleDeviceFrames(AudioDevice* device, int64_t nowNs) {
  uint64_t audible = 0;
  {
    std::lock_guard<std::mutex> guard(device->lock);
    audible = device->clock.AudibleFrames(nowNs);
  }
  // A read taken just before a late callback's hand-over can be ahead of one taken after it.
  device->lastAudible = std::max(device->lastAudible, audible);
  return device->lastAudible;
}
