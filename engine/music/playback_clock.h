// Where a device that takes its audio in callbacks is audibly playing, in
// frames from the start of play. At each hand-over (one callback) the frames
// just handed still wait in the device's buffer (its size as SDL reports it),
// so what is audible then is all handed so far less that buffer; between
// hand-overs the position runs on with the monotonic clock, never past what
// has been handed.
#pragma once

#include <cstdint>

struct PlaybackClock {
  uint32_t rate;          // frames per second of the device, > 0
  uint64_t bufferFrames;  // frames that wait in the device right after a hand-over
  uint64_t handedFrames;  // frames handed to the device since play began
  int64_t handOverNs;     // monotonic time of the latest hand-over, ns; meaningful once handedFrames > 0

  void Start(uint32_t framesPerSecond, uint64_t deviceBufferFrames);
  void HandOver(uint64_t frames, int64_t nowNs);
  // The audible frame at nowNs; 0 before the first hand-over.
  uint64_t AudibleFrames(int64_t nowNs) const;
};

// Frames to whole milliseconds, truncated: frames * 1000 / rate.
uint32_t FramesToMs(uint64_t frames, uint32_t rate);
// Whole frames played in elapsedNs at rate, truncated.
uint64_t FramesInNs(int64_t elapsedNs, uint32_t rate);
// The monotonic clock, ns since an arbitrary start.
int64_t MonotonicNs();
