// The effect interface and the shared demo clock.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"

constexpr int kEffectNameField = 32;

// Current demo time, set by the frame driver once per frame before any effect
// renders; effects read their time here, never from an argument.
struct DemoClock {
  uint32_t nowMs;   // track position in ms; unset until the first frame

  static DemoClock* Get();   // created on first use
  static void Release();
};

class Effect {
 public:
  Cell* target = nullptr;   // 4000 cells the next Render must fill; set by the timeline
  int32_t frameCount = 0;   // only the tunnel advances it
  uint32_t startMs;         // first ms of the window
  uint32_t endMs;           // last ms of the window, inclusive
  char name[kEffectNameField];

  Effect(const char* effectName, uint32_t start, uint32_t end);
  virtual ~Effect();
  // Writes all 4000 cells of target for DemoClock::Get()->nowMs.
  virtual void Render() = 0;

  // nowMs - startMs, unsigned 32-bit.
  uint32_t LocalTimeMs() const;

  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;
};
