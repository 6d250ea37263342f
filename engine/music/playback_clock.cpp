#include "engine/music/playback_clock.h"

#include <algorithm>
#include <chrono>

void PlaybackClock::Start(uint32_t framesPerSecond, uint64_t deviceBufferFrames) {
  rate = framesPerSecond;
  bufferFrames = deviceBufferFrames;
  handedFrames = 0;
  handOverNs = 0;
}

void PlaybackClock::HandOver(uint64_t frames, int64_t nowNs) {
  handedFrames += frames;
  handOverNs = nowNs;
}

uint64_t PlaybackClock::AudibleFrames(int64_t nowNs) const {
  if (handedFrames == 0) return 0;
  const uint64_t atHandOver = handedFrames > bufferFrames ? handedFrames - bufferFrames : 0;
  const uint64_t since = FramesInNs(nowNs - handOverNs, rate);
  return std::min(atHandOver + since, handedFrames);
}

uint32_t FramesToMs(uint64_t frames, uint32_t rate) {
  return static_cast<uint32_t>(frames * 1000 / rate);  // < 2^32 ms for any track this player opens
}

uint64_t FramesInNs(int64_t elapsedNs, uint32_t rate) {
  if (elapsedNs <= 0) return 0;
  // Whole seconds apart so that the product stays far from 2^64 on any run.
  const uint64_t ns = static_cast<uint64_t>(elapsedNs);
  return ns / 1000000000u * rate + ns % 1000000000u * rate / 1000000000u;
}

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
