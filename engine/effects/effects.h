// Every effect of the show. Each class lives in its own source unit; the
// programme table (programme.cpp) says when each one plays.
#pragma once

#include "engine/core/effect.h"

// Keeps the screen dark while the music starts; the skull fades in from it.
class EffectQuickLogo final : public Effect {
 public:
  using Effect::Effect;
  void Render() override;
};

// Lights the whole screen at one level, holds it for 700 ms, fades to dark.
class EffectEnding final : public Effect {
 public:
  using Effect::Effect;
  void Render() override;

  // Level for a local time in ms: 55 down to 0 in steps every 50 ms.
  static uint32_t LevelAt(uint32_t localMs);
};
