// The show's music: one track, "qx3.mp3" from the resource table, streamed
// from the table's bytes in place. Its playback position in milliseconds is
// the demo clock. One player exists per run: Create and LoadTrack at start-up,
// StartPlayback once the show is built, Update and Position every frame,
// Shutdown after the show's teardown and before the resource table goes.
//
// Failure rule: a failed call marked fatal prints "FMOD error! (%d) %s\n"
// with the result and its text, and ends the program with exit code -1.
#pragma once

#include <cstdint>

#include "engine/music/audio_mixer.h"

constexpr uint32_t kRequiredMixerVersion = 0x44438;  // the oldest mixer the player accepts
constexpr const char* kMusicTrackName = "qx3.mp3";

struct MusicPlayer {
  AudioMixer* system;    // the mixer
  AudioStream* sound;    // the track's stream; null until LoadTrack
  AudioChannel channel;  // the track's channel; none until StartPlayback
  int32_t lastResult;    // result of the latest call made for the player (all but Update and SetMute)
  uint32_t version;      // what the mixer reports
  uint32_t lengthMs;     // length of the track, ms

  // Creates the mixer, checks its version and initialises it for one
  // channel; fatal on failure. A mixer older than kRequiredMixerVersion gets
  // the old-version message and stays uninitialised (the next fatal call
  // then decides, normally LoadTrack).
  static MusicPlayer* Create();
  // Opens the track from the resource table (which ends the program itself
  // when the track is nowhere) and reads its exact length; fatal on failure.
  void LoadTrack();
  // Plays the track once, if one was loaded, from startMs (0 to lengthMs);
  // fatal on failure.
  void StartPlayback(uint32_t startMs = 0);

  // Per frame: the mixer's service (result dropped), then the position, ms.
  void Update();
  // Writes the position and returns the result (also kept in lastResult).
  // The position is the demo time when the result is 0, 11 or 36; 0 with 36
  // once the track has ended.
  int32_t Position(uint32_t* positionMs);
  // Silences or restores the track without pausing it; result dropped.
  void SetMute(bool muted);

  // Releases the stream, closes the mixer, releases it: in this order, each
  // fatal on failure, all three unconditionally. The caller then deletes
  // the player, then releases the resource table.
  void Shutdown();

  // Whether a position result gives the demo time: 0, 11 or 36.
  static bool PositionIsClock(int32_t result);
};
