// The sound output device under the audio mixer. One backend per platform,
// chosen at build time: SDL2 (audio_device_sdl.cpp) or waveOut of winmm
// (audio_device_waveout.cpp). A device plays 16-bit interleaved samples at
// the track's own rate and pulls them through a feed on a thread of its own;
// the mixer keeps everything else (decoding, muting, the silent output).
//
// All calls come from one thread (the mixer's).
#pragma once

#include <cstddef>
#include <cstdint>

// Device thread: writes the next `frames` frames (frames * channels samples) to out.
using AudioFeed = void (*)(void* context, int16_t* out, size_t frames);

// Why no device opens, as one line without a newline (e.g. the driver's own
// error text); written by the calls below that can fail.
struct AudioDeviceReason {
  char text[160];
};

// Starts the backend and finds out whether the default output device opens
// (one is opened and closed again). `standInCounts`: a device that plays
// nowhere (SDL's "dummy" driver) counts as one. False: nothing is left
// started, `reason` says why. True: StopAudioDevices undoes it; starts nest.
bool StartAudioDevices(bool standInCounts, AudioDeviceReason* reason);
void StopAudioDevices();

struct AudioDevice;

// Opens the default device for `rate` frames per second of `channels`
// (1 or 2) samples, paused; null with `reason` when it does not open.
AudioDevice* OpenAudioDevice(uint32_t rate, uint32_t channels, AudioFeed feed, void* context,
                             AudioDeviceReason* reason);
void ResumeAudioDevice(AudioDevice* device);
// Holds the output where it is; no feed runs once this returns.
void PauseAudioDevice(AudioDevice* device);
// Stops the output and waits for the device's thread (up to tens of ms).
void CloseAudioDevice(AudioDevice* device);

// Frames heard since the device opened, at monotonic time nowNs (see
// MonotonicNs): never less than the previous answer, never more than the
// frames fed so far; 0 before the first feed.
uint64_t AudibleDeviceFrames(AudioDevice* device, int64_t nowNs);
