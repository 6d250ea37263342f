// The audio layer under the music player: a mixer of one channel that plays
// an MP3 held in memory as a stream, reports where the playback is, mutes,
// and releases in a fixed order. Every operation answers with an AudioResult.
//
// Output goes to the default sound device at the track's own sample rate.
// Where there is no device (no driver, no card, or SDL's "dummy" driver
// chosen through SDL_AUDIODRIVER), a silent output consumes the stream by the
// wall clock instead, so that positions run exactly as with sound; standard
// error then says once that the show plays without sound.
//
// All calls come from one thread. The device may pull audio on a thread of
// its own; the track's bytes must stay unchanged and alive until the stream
// that reads them has been released.
#pragma once

#include <cstdint>

// Results. 0, 11 and 36 are the numbers the frame loop tests for; the
// others are this layer's own.
enum AudioResult : int32_t {
  kAudioOk = 0,
  kAudioChannelStolen = 11,      // the channel has since been given to a newer play
  kAudioStreamDamaged = 19,      // the stream is truncated or broken off part-way
  kAudioUnsupportedFormat = 25,  // the data holds no MPEG audio this layer plays
  kAudioAlreadyInitialised = 33,
  kAudioInvalidHandle = 36,  // no live mixer, stream or channel behind the handle
  kAudioInvalidParameter = 37,
  kAudioOutOfMemory = 43,
  kAudioNotInitialised = 79,
};

// One line of text (no newline) for any result; a fixed text for numbers
// this layer never returns.
const char* AudioResultText(int32_t result);

// The version this layer reports, 0xMMmmpppp (major, minor, patch in hex digits).
constexpr uint32_t kAudioMixerVersion = 0x00050000;

struct AudioMixer;
struct AudioStream;

// A channel as the caller holds it: the mixer and the serial number of one
// play (from 1). {nullptr, 0} is no channel. The handle stays safe to use
// after its play: it then answers 36 once the play has ended or been
// stopped, 11 once a newer play has taken the channel.
struct AudioChannel {
  AudioMixer* mixer;
  uint32_t play;
};

enum class AudioOutput {
  kAutomatic,  // the default device; the silent output where there is none (the programs' choice)
  kSilent,     // never open a device
  kDevice,     // the device of SDL's chosen driver even when that is "dummy" (tests of the device path)
};

// Choices for mixers created afterwards; the programs leave the defaults.
struct AudioMixerSettings {
  uint32_t reportedVersion;  // what GetAudioMixerVersion reports; kAudioMixerVersion
  AudioOutput output;        // kAutomatic
};
AudioMixerSettings& AudioMixerDefaults();

AudioResult CreateAudioMixer(AudioMixer** mixer);
AudioResult GetAudioMixerVersion(AudioMixer* mixer, uint32_t* version);
// channelCount must be 1: the mixer plays one stream at a time.
AudioResult InitAudioMixer(AudioMixer* mixer, int channelCount);

// Opens bytes[0, byteLength) as an MP3 stream, reading it in place. The whole
// stream is scanned here, so the length is exact and a stream that does not
// hold together is refused (25 when it is no MP3 at all, 19 when damaged).
AudioResult OpenMemoryStream(AudioMixer* mixer, const uint8_t* bytes, uint32_t byteLength, AudioStream** stream);
AudioResult GetStreamLengthMs(AudioStream* stream, uint32_t* lengthMs);

// Plays the stream once on the free channel (stopping what it played
// before, whose handle then answers 11), from startMs into the track (0 to
// its length; more is 37): positions then run on from startMs. With a
// device, returns once the device has taken the first audio.
AudioResult PlayStream(AudioMixer* mixer, AudioStream* stream, AudioChannel* channel, uint32_t startMs = 0);

// The per-frame service: retires the channel once its track has been heard
// to the end, and feeds the silent output what the wall clock has consumed.
AudioResult UpdateAudioMixer(AudioMixer* mixer);

// The audible position in ms from the track's start, never decreasing
// during a play and at most the track's length. Once the track has ended
// and its channel is gone: 0 with 36. Any result but 0 writes 0.
AudioResult GetChannelPositionMs(AudioChannel channel, uint32_t* positionMs);

// Silences or restores the channel; the play neither stops nor pauses.
AudioResult SetChannelMute(AudioChannel channel, bool muted);

// Release order: every stream, then close the mixer, then release it.
// Releasing a stream that plays stops its channel.
AudioResult ReleaseStream(AudioStream* stream);
// Stops output and releases the streams still open; the mixer can be
// initialised again.
AudioResult CloseAudioMixer(AudioMixer* mixer);
AudioResult ReleaseAudioMixer(AudioMixer* mixer);
