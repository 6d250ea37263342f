// The show's programme of effects and the per-frame driver.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/effect.h"

struct FrameFinisher;

struct Timeline {
  std::vector<Effect*>* effects;   // programme order; owned
  float blendFactor;               // cross-fade factor of the current frame, 0..1
  bool blending;                   // the current frame is a cross-fade
  FrameFinisher* finisher;         // owned

  // Created on first use; creating it loads the finisher's two images.
  static Timeline* Get();

  // Renders the active effect (or cross-fades the two active ones) into the
  // screen and finishes the frame; the dark red fill when none is active.
  void RenderAt(uint32_t timeMs);
};

// The start-up sequence: clock, timeline, cleared screen, angle tables, letter
// font, then every effect of the programme in order.
void BuildShow();
// The per-frame entry; returns a stop request (never set by this show).
bool RenderFrame(uint32_t timeMs);
// Releases effects, timeline with finisher, clock and letter font, in that order.
void TearDownShow();
