// The output device over waveOut of winmm. A feeding thread keeps a ring of
// buffers queued: the driver signals an event each time it gives one back and
// the thread refills it (waveOut functions are never called from the driver's
// own callback, where they deadlock). The audible position is the driver's
// count of played samples; where a driver answers in no usable unit, the
// frames of the buffers it has given back (which can run ahead of what is
// heard: a driver may give a buffer back once it has copied it).
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/music/audio_device.h"

namespace {

constexpr size_t kBuffers = 4;
constexpr uint32_t kBufferFrames = 2048;  // ~46 ms at 44.1 kHz; halved below 32 kHz

}  // namespace

struct AudioDevice {
  HWAVEOUT handle = nullptr;
  HANDLE wake = nullptr;  // auto-reset: the driver signals a buffer given back, the mixer a change of state
  AudioFeed feed = nullptr;
  void* context = nullptr;
  uint32_t blockBytes = 0;   // bytes per frame: 2 per channel
  uint32_t bufferFrames = 0;
  std::vector<int16_t> samples;  // the ring's storage, kBuffers * bufferFrames frames
  WAVEHDR headers[kBuffers]{};
  std::thread feeder;

  std::mutex lock;  // held by the feeder while it feeds and queues, and by every change of state
  bool running = false;   // under lock: resumed
  bool quitting = false;  // under lock: the feeder returns

  std::atomic<uint64_t> handedFrames{0};  // frames given to the driver
  std::atomic<uint64_t> doneFrames{0};    // frames of the buffers the driver has given back

  // The mixer's thread only.
  UINT unit = 0;               // the unit the driver answers positions in; 0 before the first answer
  DWORD lastCount = 0;         // the driver's latest 32-bit answer
  uint64_t count = 0;          // the same, carried past 2^32
  bool countBuffers = false;   // positions from doneFrames: the driver answers in neither samples nor bytes
  uint64_t lastAudible = 0;    // the latest answer, frames
};

namespace {

void SayWhy(AudioDeviceReason* reason, const char* call, MMRESULT result) {
  char text[MAXERRORLENGTH] = "";
  if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR) {
    std::snprintf(text, sizeof text, "MMRESULT %u", result);
  }
  // The texts are sentences; the reason goes inside the mixer's own line.
  size_t length = std::strlen(text);
  while (length > 0 && std::strchr(" .\r\n", text[length - 1]) != nullptr) text[--length] = '\0';
  std::snprintf(reason->text, sizeof reason->text, "%s: %s", call, text);
}

WAVEFORMATEX Format(uint32_t rate, uint32_t channels) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(channels * sizeof(int16_t));
  format.nAvgBytesPerSec = rate * format.nBlockAlign;
  return format;
}

// The driver clears WHDR_INQUEUE (and sets WHDR_DONE) before it signals the event.
bool InQueue(const WAVEHDR& header) {
  return (static_cast<const volatile DWORD&>(header.dwFlags) & WHDR_INQUEUE) != 0;
}

// The feeding thread. Buffers come back in the order they were queued, so
// the oldest one is the next to refill.
void FeedLoop(AudioDevice* device) {
  size_t oldest = 0;
  bool queued[kBuffers] = {};
  for (;;) {
    WaitForSingleObject(device->wake, INFINITE);
    std::lock_guard<std::mutex> guard(device->lock);
    if (device->quitting) return;
    while (device->running) {
      WAVEHDR& header = device->headers[oldest];
      if (queued[oldest]) {
        if (InQueue(header)) break;
        device->doneFrames.fetch_add(device->bufferFrames, std::memory_order_release);
        queued[oldest] = false;
      }
      device->feed(device->context, reinterpret_cast<int16_t*>(header.lpData), device->bufferFrames);
      // Counted before the driver can play any of it: positions are clamped to it.
      device->handedFrames.fetch_add(device->bufferFrames, std::memory_order_release);
      if (waveOutWrite(device->handle, &header, sizeof header) != MMSYSERR_NOERROR) {
        device->handedFrames.fetch_sub(device->bufferFrames, std::memory_order_release);
        break;
      }
      queued[oldest] = true;
      oldest = (oldest + 1) % kBuffers;
    }
  }
}

void Release(AudioDevice* device) {
  if (device->handle != nullptr) {
    waveOutReset(device->handle);  // gives back every queued buffer
    for (WAVEHDR& header : device->headers) {
      if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device->handle, &header, sizeof header);
    }
    waveOutClose(device->handle);
  }
  if (device->wake != nullptr) CloseHandle(device->wake);
  delete device;
}

// Frames the driver has played; false when it does not say this time, and
// for good (countBuffers) when it answers in a unit other than its first, or
// in neither samples nor bytes.
bool DriverFrames(AudioDevice* device, uint64_t* frames) {
  MMTIME time{};
  time.wType = TIME_SAMPLES;
  if (waveOutGetPosition(device->handle, &time, sizeof time) != MMSYSERR_NOERROR) return false;
  if (device->unit == 0 && (time.wType == TIME_SAMPLES || time.wType == TIME_BYTES)) device->unit = time.wType;
  if (time.wType != device->unit) {
    device->countBuffers = true;
    return false;
  }
  const DWORD now = time.wType == TIME_SAMPLES ? time.u.sample : time.u.cb;
  device->count += static_cast<DWORD>(now - device->lastCount);  // the answer wraps at 2^32
  device->lastCount = now;
  *frames = device->unit == TIME_SAMPLES ? device->count : device->count / device->blockBytes;
  return true;
}

}  // namespace

bool StartAudioDevices(bool, AudioDeviceReason* reason) {
  const WAVEFORMATEX format = Format(44100, 2);
  HWAVEOUT probe = nullptr;
  const MMRESULT result = waveOutOpen(&probe, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
  if (result != MMSYSERR_NOERROR) {
    SayWhy(reason, "waveOutOpen", result);
    return false;
  }
  waveOutClose(probe);
  return true;
}

void StopAudioDevices() {}

AudioDevice* OpenAudioDevice(uint32_t rate, uint32_t channels, AudioFeed feed, void* context,
                             AudioDeviceReason* reason) {
  auto* device = new (std::nothrow) AudioDevice();
  if (device == nullptr) {
    std::snprintf(reason->text, sizeof reason->text, "not enough memory");
    return nullptr;
  }
  device->feed = feed;
  device->context = context;
  device->blockBytes = channels * sizeof(int16_t);
  device->bufferFrames = rate >= 32000 ? kBufferFrames : kBufferFrames / 2;
  device->samples.assign(size_t{kBuffers} * device->bufferFrames * channels, 0);
  device->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (device->wake == nullptr) {
    std::snprintf(reason->text, sizeof reason->text, "CreateEvent failed (error %lu)", GetLastError());
    Release(device);
    return nullptr;
  }
  const WAVEFORMATEX format = Format(rate, channels);
  MMRESULT result = waveOutOpen(&device->handle, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(device->wake), 0,
                                CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    device->handle = nullptr;
    SayWhy(reason, "waveOutOpen", result);
    Release(device);
    return nullptr;
  }
  for (size_t i = 0; i < kBuffers; ++i) {
    WAVEHDR& header = device->headers[i];
    header.lpData = reinterpret_cast<LPSTR>(device->samples.data() + i * device->bufferFrames * channels);
    header.dwBufferLength = device->bufferFrames * device->blockBytes;
    result = waveOutPrepareHeader(device->handle, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) {
      SayWhy(reason, "waveOutPrepareHeader", result);
      Release(device);
      return nullptr;
    }
  }
  try {
    device->feeder = std::thread(FeedLoop, device);
  } catch (const std::system_error& error) {
    std::snprintf(reason->text, sizeof reason->text, "no thread for the device (%s)", error.what());
    Release(device);
    return nullptr;
  }
  return device;
}

void ResumeAudioDevice(AudioDevice* device) {
  {
    std::lock_guard<std::mutex> guard(device->lock);
    device->running = true;
    waveOutRestart(device->handle);
  }
  SetEvent(device->wake);
}

void PauseAudioDevice(AudioDevice* device) {
  std::lock_guard<std::mutex> guard(device->lock);
  device->running = false;
  waveOutPause(device->handle);
}

void CloseAudioDevice(AudioDevice* device) {
  {
    std::lock_guard<std::mutex> guard(device->lock);
    device->quitting = true;
  }
  SetEvent(device->wake);
  device->feeder.join();
  Release(device);
}

uint64_t AudibleDeviceFrames(AudioDevice* device, int64_t) {
  uint64_t played = 0;
  if (device->countBuffers || !DriverFrames(device, &played)) {
    played = device->doneFrames.load(std::memory_order_acquire);
  }
  // Read after the driver's count: everything it has played had been handed before.
  const uint64_t handed = device->handedFrames.load(std::memory_order_acquire);
  device->lastAudible = std::max(device->lastAudible, std::min(played, handed));
  return device->lastAudible;
}
