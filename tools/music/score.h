// The show's track as a score: every note with its instrument, time and
// colour, plus the automation of the mix (filter sweeps, swells, the final
// fade). Composed by code, the same every time.
//
// 120 beats per minute, 4/4: a bar lasts 2 s, a sixteenth 0.125 s. The
// sections start on the bars where the show changes its effect.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/music/dsp.h"
#include "tools/music/instruments.h"

namespace music {

constexpr double kBarSeconds = 2.0;
constexpr double kStepSeconds = 0.125;  // a sixteenth note

// First bar of each section: intro (logo and skull), tunnel, glow, wobbler,
// wobbly cube, liquid, twister, ending.
constexpr int kSectionCount = 8;
constexpr int kSectionStartBars[kSectionCount] = {0, 7, 22, 36, 50, 65, 79, 94};

// The track's length: the ending's fade reaches silence at 200.25 s.
constexpr double kTrackSeconds = 200.5;
constexpr int64_t kTrackFrames = 8842050;  // kTrackSeconds x kSampleRate
static_assert(kTrackFrames == static_cast<int64_t>(kTrackSeconds * kSampleRate));

struct Score {
  std::vector<Note> notes;  // in rising start time
  // Per instrument's bus: a gain factor on top of the mix level (empty = 1)
  // and a lowpass cutoff in Hz (empty = no filter).
  Curve busGain[kInstrumentCount];
  Curve busLowpass[kInstrumentCount];
  Curve masterGain;  // empty = 1
};

// The show's score, composed on first use.
const Score& ShowScore();

// Composes the score afresh (ShowScore() caches one).
Score ComposeShowScore();

}  // namespace music
