#include "tools/music/score.h"

#include <algorithm>
#include <cstring>

namespace music {

namespace {

// A chord in A minor: the bass note (octave 2), the pad's voicing and the
// four tones the arpeggios run through (MIDI note numbers).
struct Chord {
  int bass;
  int pad[4];
  int arp[4];
};

constexpr Chord kAm{45, {57, 60, 64, 69}, {69, 72, 76, 81}};
constexpr Chord kF{41, {57, 60, 65, 69}, {65, 69, 72, 77}};
constexpr Chord kC{48, {55, 60, 64, 67}, {67, 72, 76, 79}};
constexpr Chord kG{43, {55, 59, 62, 67}, {67, 71, 74, 79}};
constexpr Chord kE{40, {56, 59, 64, 68}, {64, 68, 71, 76}};
constexpr Chord kEm{40, {55, 59, 64, 67}, {64, 67, 71, 76}};

// The main progression (eight bars) and the glow's (four bars).
const Chord* const kProgA[8] = {&kAm, &kF, &kC, &kG, &kAm, &kF, &kG, &kE};
const Chord* const kProgB[4] = {&kF, &kG, &kEm, &kAm};

struct MelodyNote {
  int bar;    // from the phrase's start
  int step;   // sixteenth within the bar, 0..15
  int steps;  // length in sixteenths
  int pitch;  // MIDI
};

// The theme, over the main progression: "E-D-C-B-C" is its hook.
constexpr MelodyNote kThemeA[] = {
    {0, 0, 6, 76}, {0, 6, 2, 74}, {0, 8, 4, 72}, {0, 12, 2, 71}, {0, 14, 2, 72},  // Am
    {1, 0, 8, 69}, {1, 8, 4, 72}, {1, 12, 4, 77},                                 // F
    {2, 0, 6, 76}, {2, 6, 2, 74}, {2, 8, 4, 72}, {2, 12, 2, 76}, {2, 14, 2, 79},  // C
    {3, 0, 10, 74}, {3, 10, 2, 71}, {3, 12, 4, 67},                               // G
    {4, 0, 6, 76}, {4, 6, 2, 74}, {4, 8, 4, 72}, {4, 12, 2, 71}, {4, 14, 2, 72},  // Am
    {5, 0, 6, 69}, {5, 6, 2, 72}, {5, 8, 4, 77}, {5, 12, 2, 76}, {5, 14, 2, 77},  // F
    {6, 0, 6, 79}, {6, 6, 2, 77}, {6, 8, 4, 76}, {6, 12, 4, 74},                  // G
    {7, 0, 6, 76}, {7, 6, 2, 74}, {7, 8, 4, 71}, {7, 12, 4, 68},                  // E
};

// The glow's counter-tune, over F G Em Am.
constexpr MelodyNote kThemeB[] = {
    {0, 0, 4, 69}, {0, 4, 4, 72}, {0, 8, 6, 77}, {0, 14, 2, 76},  // F
    {1, 0, 8, 74}, {1, 8, 4, 71}, {1, 12, 4, 74},                 // G
    {2, 0, 4, 76}, {2, 4, 4, 79}, {2, 8, 6, 83}, {2, 14, 2, 81},  // Em
    {3, 0, 12, 81}, {3, 12, 4, 76},                               // Am
};
// Its answer: the last bar falls instead of holding.
constexpr MelodyNote kThemeBAnswer[] = {
    {3, 0, 6, 81}, {3, 6, 2, 79}, {3, 8, 8, 76},
};

double BarTime(double bar) { return bar * kBarSeconds; }

class Composer {
 public:
  Score score;

  void Add(Instrument instrument, double time, double length, double pitch, double velocity,
           double pan, double tone, double slideFrom = 0.0) {
    Note n;
    n.start = time;
    n.length = length;
    n.instrument = instrument;
    n.pitch = static_cast<float>(pitch);
    n.velocity = static_cast<float>(std::clamp(velocity, 0.0, 1.0));
    n.pan = static_cast<float>(pan);
    n.tone = static_cast<float>(std::clamp(tone, 0.0, 1.0));
    n.slideFrom = static_cast<float>(slideFrom);
    n.seed = nextSeed_++;
    score.notes.push_back(n);
  }

  // Sixteen steps of one bar: 'X' accent, 'x' normal, 'o' ghost, '.' rest.
  // A slight, fixed-seed variation keeps repeated hits from sounding
  // machine-stamped.
  void Pattern(Instrument instrument, int bar, const char* steps, double velocity, double pan,
               double tone) {
    for (int s = 0; s < 16 && steps[s] != '\0'; ++s) {
      double scale = 0.0;
      if (steps[s] == 'X') scale = 1.0;
      if (steps[s] == 'x') scale = 0.8;
      if (steps[s] == 'o') scale = 0.45;
      if (scale == 0.0) continue;
      const double v = velocity * scale * (0.93 + 0.07 * humanize_.Unit());
      Add(instrument, BarTime(bar) + s * kStepSeconds, kStepSeconds, 60.0, v, pan, tone);
    }
  }

  // The pad holds the chord's four notes, spread a little in the stereo field.
  void PadChord(double bar, double bars, const Chord& chord, double velocity, double tone) {
    static const double kPans[4] = {-0.5, 0.2, -0.2, 0.5};
    for (int i = 0; i < 4; ++i) {
      Add(Instrument::Pad, BarTime(bar), bars * kBarSeconds, chord.pad[i], velocity, kPans[i], tone);
    }
  }

  // Sixteenth arpeggio over the chord's tones in the order given (indices
  // 0..3), alternating left and right.
  void Arpeggio(int bar, const Chord& chord, const int* order, int stepEvery, double velocity,
                double tone, int transpose = 0) {
    for (int s = 0, k = 0; s < 16; s += stepEvery, ++k) {
      const double pan = (k % 2 == 0) ? -0.35 : 0.35;
      const double accent = (s % 4 == 0) ? 1.0 : 0.8;
      Add(Instrument::Pluck, BarTime(bar) + s * kStepSeconds, stepEvery * kStepSeconds * 0.9,
          chord.arp[order[k % 16]] + transpose, velocity * accent, pan, tone);
    }
  }

  // The bass on the off-beat eighths, between the kicks.
  void BassOffbeat(int bar, const Chord& chord, double velocity, double tone) {
    for (int beat = 0; beat < 4; ++beat) {
      Add(Instrument::Bass, BarTime(bar) + (beat * 4 + 2) * kStepSeconds, 1.6 * kStepSeconds,
          chord.bass, velocity, 0.0, tone);
    }
  }

  // Rolling sixteenths on the three steps after each kick; the last jumps an
  // octave on beats 2 and 4.
  void BassRolling(int bar, const Chord& chord, double velocity, double tone) {
    for (int beat = 0; beat < 4; ++beat) {
      for (int s = 1; s < 4; ++s) {
        const int pitch = chord.bass + ((s == 3 && beat % 2 == 1) ? 12 : 0);
        Add(Instrument::Bass, BarTime(bar) + (beat * 4 + s) * kStepSeconds, 0.8 * kStepSeconds, pitch,
            velocity * (s == 1 ? 1.0 : 0.85), 0.0, tone);
      }
    }
  }

  void BassHeld(double bar, double bars, const Chord& chord, double velocity, double tone) {
    Add(Instrument::Bass, BarTime(bar), bars * kBarSeconds - 0.05, chord.bass, velocity, 0.0, tone);
  }

  // Plays melody notes whose bar lies in [fromBar, toBar) of the phrase,
  // starting at `atBar`; notes that follow one another without a gap glide
  // into the longer ones.
  template <size_t N>
  void Melody(Instrument instrument, const MelodyNote (&notes)[N], int fromBar, int toBar, double atBar,
              double velocity, double tone, int transpose = 0, double pan = 0.0) {
    int previousEnd = -1000;
    int previousPitch = 0;
    for (const MelodyNote& m : notes) {
      if (m.bar < fromBar || m.bar >= toBar) continue;
      const int startStep = (m.bar - fromBar) * 16 + m.step;
      const double time = BarTime(atBar) + startStep * kStepSeconds;
      const double length = m.steps * kStepSeconds - 0.02;
      double slide = 0.0;
      if (instrument == Instrument::Lead && startStep == previousEnd && m.steps >= 4) {
        slide = previousPitch + transpose;
      }
      Add(instrument, time, length, m.pitch + transpose, velocity, pan, tone, slide);
      previousEnd = startStep + m.steps;
      previousPitch = m.pitch;
    }
  }

  // A snare roll over one bar: eighths (stepEvery 2) or sixteenths (1),
  // growing from velocity `from` to `to`.
  void SnareRoll(int bar, int stepEvery, double from, double to) {
    for (int s = 0; s < 16; s += stepEvery) {
      const double v = from + (to - from) * s / 15.0;
      Add(Instrument::Snare, BarTime(bar) + s * kStepSeconds, kStepSeconds, 60.0, v, 0.0, 0.3);
    }
  }

  void Crash(int bar, double velocity) {
    Add(Instrument::Crash, BarTime(bar), 0.5, 60.0, velocity, 0.0, 0.6);
  }

  void FourOnTheFloor(int bar, double velocity, double tone = 0.5) {
    Pattern(Instrument::Kick, bar, "X...x...X...x...", velocity, 0.0, tone);
  }

 private:
  uint32_t nextSeed_ = 1;
  Prng humanize_{0x51C0FFEEull};
};

const int kArpUpDown[16] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 3};
const int kArpRolling[16] = {0, 2, 1, 3, 0, 2, 1, 3, 0, 2, 1, 3, 0, 2, 3, 1};
const int kArpSlow[16] = {0, 1, 2, 3, 1, 2, 3, 2, 0, 1, 2, 3, 1, 2, 3, 2};

// Bars 0-6 (0-14 s): the pad swells out of silence through an opening filter,
// the bell hints at the theme, the arpeggio and then the kick come in, and a
// riser with a snare roll leads into the first drop.
void ComposeIntro(Composer& c) {
  const Chord* chords[6] = {&kAm, &kF, &kC, &kG, &kAm, &kF};
  for (int b = 0; b < 6; ++b) c.PadChord(b, 1.0, *chords[b], 0.9, 0.35);
  c.PadChord(6, 0.5, kG, 0.9, 0.4);
  c.PadChord(6.5, 0.5, kE, 0.9, 0.4);

  // The theme's bars 2 to 5 fit the intro's chords at the same bars.
  c.Melody(Instrument::Bell, kThemeA, 2, 4, 2, 0.35, 0.3);
  c.Melody(Instrument::Bell, kThemeA, 4, 6, 4, 0.5, 0.45);

  for (int b = 3; b < 7; ++b) {
    const Chord& chord = b < 6 ? *chords[b] : kG;
    const double rise = (b - 3) / 3.0;
    c.Arpeggio(b, chord, kArpUpDown, 1, 0.35 + 0.3 * rise, 0.1 + 0.4 * rise);
  }
  c.BassHeld(4, 1, kAm, 0.6, 0.05);
  c.BassHeld(5, 1, kF, 0.7, 0.1);
  c.BassHeld(6, 0.5, kG, 0.75, 0.15);
  c.BassHeld(6.5, 0.5, kE, 0.8, 0.2);

  c.FourOnTheFloor(5, 0.7, 0.3);
  c.Pattern(Instrument::Kick, 6, "X...x...X...x.x.", 0.85, 0.0, 0.4);
  c.Pattern(Instrument::ClosedHat, 5, "..x...x...x...x.", 0.45, 0.25, 0.3);
  c.Pattern(Instrument::ClosedHat, 6, "..x...x...x...x.", 0.55, 0.25, 0.4);
  c.SnareRoll(6, 1, 0.15, 0.8);
  c.Add(Instrument::Riser, BarTime(5), 2 * kBarSeconds, 60.0, 0.8, 0.0, 0.5);

  Score& s = c.score;
  s.busGain[static_cast<int>(Instrument::Pad)].Add(0.0, 0.0);
  s.busGain[static_cast<int>(Instrument::Pad)].Add(5.0, 0.85);
  s.busGain[static_cast<int>(Instrument::Pad)].Add(12.0, 1.0);
  Curve& padLp = s.busLowpass[static_cast<int>(Instrument::Pad)];
  padLp.Add(0.0, 250.0);
  padLp.Add(6.0, 800.0);
  padLp.Add(12.0, 2500.0);
  padLp.Add(14.0, 8000.0);
  padLp.Add(14.5, 20000.0);
  Curve& arpLp = s.busLowpass[static_cast<int>(Instrument::Pluck)];
  arpLp.Add(6.0, 600.0);
  arpLp.Add(13.9, 5000.0);
  arpLp.Add(14.0, 20000.0);
}

// The build before a section: snare roll from eighths to sixteenths, a riser,
// the chords of the progression's turnaround; kick and bass drop out in the
// last bar.
void ComposeBuild(Composer& c, int firstBar, int bars, const Chord* const* chords, double bassTone,
                  double arpTone) {
  for (int i = 0; i < bars; ++i) {
    const int b = firstBar + i;
    const bool last = i == bars - 1;
    c.PadChord(b, 1.0, *chords[i], 0.85, 0.5 + 0.1 * i);
    c.Arpeggio(b, *chords[i], kArpUpDown, 1, 0.45, arpTone + 0.1 * i);
    const double v0 = 0.25 + 0.55 * i / bars;
    const double v1 = 0.25 + 0.55 * (i + 1) / bars;
    c.SnareRoll(b, (i == 0 && bars > 2) ? 2 : 1, v0, v1);
    if (!last) {
      c.FourOnTheFloor(b, 0.9);
      c.BassOffbeat(b, *chords[i], 0.85, bassTone);
      c.Pattern(Instrument::ClosedHat, b, "..x...x...x...x.", 0.6, 0.25, 0.4);
    }
  }
  c.Add(Instrument::Riser, BarTime(firstBar), bars * kBarSeconds, 60.0, 0.9, 0.0, 0.5);
}

// Bars 7-21 (14-44 s), the tunnel: four to the floor, off-beat bass, running
// arpeggio; the lead teases the theme's first half.
void ComposeTunnel(Composer& c) {
  for (int b = 7; b < 19; ++b) {
    const Chord& chord = *kProgA[(b - 7) % 8];
    const double progress = (b - 7) / 11.0;
    c.FourOnTheFloor(b, 1.0);
    c.Pattern(Instrument::Clap, b, "....x.......x...", 0.85, 0.0, 0.4);
    c.Pattern(Instrument::ClosedHat, b, b < 11 ? "..x...x...x...x." : "o.x.o.x.o.x.o.xo", 0.75, 0.25,
              0.4);
    c.BassOffbeat(b, chord, 0.9, 0.3 + 0.3 * progress);
    c.Arpeggio(b, chord, kArpUpDown, 1, 0.5, 0.35 + 0.35 * progress);
    c.PadChord(b, 1.0, chord, 0.6, 0.4);
  }
  c.Melody(Instrument::Lead, kThemeA, 0, 4, 15, 0.7, 0.35);
  c.Crash(7, 0.9);
  c.Crash(15, 0.7);
  const Chord* build[3] = {&kF, &kG, &kE};
  ComposeBuild(c, 19, 3, build, 0.6, 0.6);
}

// Bars 22-35 (44-72 s), the glow: half-time drums, held bass, a bright wide
// pad, and the bell's counter-tune over F G Em Am.
void ComposeGlow(Composer& c) {
  for (int b = 22; b < 34; ++b) {
    const Chord& chord = *kProgB[(b - 22) % 4];
    c.Pattern(Instrument::Kick, b, "X.........x.....", 0.9, 0.0, 0.6);
    c.Pattern(Instrument::Snare, b, "........X.......", 0.75, 0.0, 0.8);
    if (b >= 24) {
      c.Pattern(Instrument::ClosedHat, b, b < 30 ? "..x...x...x...x." : "x.xox.xox.xox.xo", 0.35, 0.3, 0.2);
    }
    c.BassHeld(b, 1, chord, 0.6, 0.12);
    c.PadChord(b, 1.0, chord, 0.9, 0.65);
    c.Arpeggio(b, chord, kArpSlow, 2, 0.3, 0.3, 12);
  }
  c.Melody(Instrument::Bell, kThemeB, 0, 4, 22, 0.65, 0.5);
  c.Melody(Instrument::Bell, kThemeB, 0, 3, 26, 0.7, 0.55);
  c.Melody(Instrument::Bell, kThemeBAnswer, 3, 4, 26, 0.7, 0.55);
  c.Melody(Instrument::Bell, kThemeB, 0, 4, 30, 0.75, 0.6);
  c.Melody(Instrument::Pluck, kThemeB, 0, 4, 30, 0.35, 0.5, 12, 0.3);
  c.Crash(22, 0.6);
  const Chord* build[2] = {&kG, &kE};
  ComposeBuild(c, 34, 2, build, 0.4, 0.5);
}

// Bars 36-49 (72-100 s), the wobbler and greetings: the full theme on the
// lead over the whole band, rolling bass, open hats.
void ComposeWobbler(Composer& c) {
  for (int b = 36; b < 48; ++b) {
    const Chord& chord = *kProgA[(b - 36) % 8];
    c.FourOnTheFloor(b, 1.0);
    c.Pattern(Instrument::Clap, b, "....x.......x...", 0.9, 0.0, 0.5);
    c.Pattern(Instrument::Snare, b, "....x.......x..o", 0.55, 0.0, 0.4);
    c.Pattern(Instrument::ClosedHat, b, "o..oo..oo..oo..o", 0.6, 0.25, 0.5);
    c.Pattern(Instrument::OpenHat, b, "..x...x...x...x.", 0.55, -0.2, 0.4);
    c.BassRolling(b, chord, 0.9, 0.45);
    c.Arpeggio(b, chord, kArpRolling, 1, 0.35, 0.5);
    c.PadChord(b, 1.0, chord, 0.75, 0.5);
  }
  c.Melody(Instrument::Lead, kThemeA, 0, 8, 36, 0.85, 0.6);
  c.Melody(Instrument::Lead, kThemeA, 0, 4, 44, 0.85, 0.7);
  c.Melody(Instrument::Pluck, kThemeA, 0, 4, 44, 0.5, 0.7, 12, 0.3);
  c.Crash(36, 1.0);
  c.Crash(44, 0.8);
  const Chord* build[2] = {&kG, &kE};
  ComposeBuild(c, 48, 2, build, 0.6, 0.6);
}

// One bar of the acid line: a sixteenth riff around the chord's root, with
// accents (the filter snaps open on them) and slides.
void AcidBar(Composer& c, int bar, int root, double tone) {
  // Semitones from the root (octave 2) per step.
  static const int kRiff[16] = {0, 0, 12, 0, 3, 0, 7, 0, 10, 0, 12, -2, 3, 5, 7, -2};
  static const bool kAccent[16] = {true, false, false, false, true, false, true, false,
                                   false, false, true, false, true, false, false, false};
  static const bool kSlide[16] = {false, false, false, true, false, false, false, false,
                                  false, false, false, false, false, true, true, false};
  for (int s = 0; s < 16; ++s) {
    const int pitch = root + kRiff[s];
    const double slide = kSlide[s] ? root + kRiff[(s + 15) % 16] : 0.0;
    c.Add(Instrument::Acid, BarTime(bar) + s * kStepSeconds, (kSlide[(s + 1) % 16] ? 1.0 : 0.6) * kStepSeconds,
          pitch, kAccent[s] ? 1.0 : 0.7, 0.0, tone, slide);
  }
}

// Bars 50-64 (100-130 s), the wobbly cube: broken beat and a wobbling acid
// line in place of the bass; chord stabs, and the lead quotes the hook.
void ComposeCube(Composer& c) {
  const Chord* cycle[4] = {&kAm, &kAm, &kF, &kG};
  for (int b = 50; b < 62; ++b) {
    const Chord& chord = *cycle[(b - 50) % 4];
    const double progress = (b - 50) / 11.0;
    c.Pattern(Instrument::Kick, b, (b % 2 == 0) ? "X.....x...x....." : "X.....x...x..x..", 1.0, 0.0, 0.5);
    c.Pattern(Instrument::Snare, b, "....X.....o.X..o", 0.85, 0.0, 0.5);
    c.Pattern(Instrument::ClosedHat, b, "xoxoxoxoxoxoxoxo", 0.6, 0.2, 0.3);
    AcidBar(c, b, chord.bass, 0.35 + 0.4 * progress);
    c.BassHeld(b, 1, chord, 0.55, 0.0);
    if (b >= 54) {
      c.PadChord(b, 1.0, chord, 0.55, 0.3);
      for (int s : {2, 8, 11}) {
        for (int i = 0; i < 3; ++i) {
          c.Add(Instrument::Pluck, BarTime(b) + s * kStepSeconds, kStepSeconds, chord.arp[i], 0.5,
                -0.3 + 0.3 * i, 0.65);
        }
      }
    }
  }
  c.Melody(Instrument::Lead, kThemeA, 0, 1, 58, 0.75, 0.3);
  c.Melody(Instrument::Lead, kThemeA, 0, 1, 59, 0.75, 0.35);
  c.Melody(Instrument::Lead, kThemeA, 1, 2, 60, 0.75, 0.4);
  c.Melody(Instrument::Lead, kThemeA, 3, 4, 61, 0.75, 0.45);
  c.Crash(50, 1.0);
  c.Crash(58, 0.7);
  const Chord* build[3] = {&kF, &kG, &kE};
  for (int i = 0; i < 3; ++i) AcidBar(c, 62 + i, build[i]->bass, 0.8 + 0.1 * i);
  ComposeBuild(c, 62, 3, build, 0.5, 0.6);
}

// Bars 65-78 (130-158 s), liquid: the breakdown. No drums at first; the
// theme on the electric piano over the pad and a deep bass, then the kick
// creeps back in before the last build.
void ComposeLiquid(Composer& c) {
  for (int b = 65; b < 77; ++b) {
    const Chord& chord = *kProgA[(b - 65) % 8];
    c.PadChord(b, 1.0, chord, 0.9, 0.3);
    if (b < 73) {
      c.BassHeld(b, 1, chord, 0.5, 0.0);
      if (b >= 69) c.Pattern(Instrument::ClosedHat, b, "..x...x...x...x.", 0.3, 0.3, 0.2);
    } else {
      c.FourOnTheFloor(b, 0.7, 0.2);
      c.BassOffbeat(b, chord, 0.7, 0.2);
      c.Pattern(Instrument::ClosedHat, b, "o.x.o.x.o.x.o.x.", 0.4, 0.3, 0.3);
    }
  }
  c.Melody(Instrument::Bell, kThemeA, 0, 8, 65, 0.65, 0.5);
  c.Melody(Instrument::Bell, kThemeA, 0, 4, 73, 0.8, 0.6);
  c.Melody(Instrument::Pluck, kThemeA, 0, 4, 73, 0.3, 0.4, 12, -0.3);
  c.Crash(65, 0.5);
  const Chord* build[2] = {&kG, &kE};
  ComposeBuild(c, 77, 2, build, 0.4, 0.5);
}

// Bars 79-93 (158-188 s), the twister: the climax. Everything plays; the
// theme on the lead doubled an octave up, and its second half crowns the
// final build.
void ComposeTwister(Composer& c) {
  for (int b = 79; b < 91; ++b) {
    const Chord& chord = *kProgA[(b - 79) % 8];
    c.FourOnTheFloor(b, 1.0);
    c.Pattern(Instrument::Clap, b, (b % 4 == 2) ? "....x.......x..x" : "....x.......x...", 0.95, 0.0, 0.5);
    c.Pattern(Instrument::Snare, b, "....x.......x...", 0.6, 0.0, 0.5);
    c.Pattern(Instrument::ClosedHat, b, "o..oo..oo..oo..o", 0.65, 0.25, 0.6);
    c.Pattern(Instrument::OpenHat, b, "..x...x...x...x.", 0.6, -0.2, 0.5);
    c.BassRolling(b, chord, 0.95, 0.6);
    c.Arpeggio(b, chord, kArpRolling, 1, 0.45, 0.75);
    c.PadChord(b, 1.0, chord, 0.85, 0.7);
  }
  c.Melody(Instrument::Lead, kThemeA, 0, 8, 79, 0.9, 0.75);
  c.Melody(Instrument::Lead, kThemeA, 0, 8, 79, 0.4, 0.5, 12);
  c.Melody(Instrument::Lead, kThemeA, 0, 4, 87, 0.9, 0.8);
  c.Melody(Instrument::Lead, kThemeA, 0, 4, 87, 0.45, 0.55, 12);
  c.Melody(Instrument::Lead, kThemeA, 5, 8, 91, 0.9, 0.85);
  c.Melody(Instrument::Lead, kThemeA, 5, 8, 91, 0.45, 0.6, 12);
  c.Crash(79, 1.0);
  c.Crash(83, 0.7);
  c.Crash(87, 0.8);
  const Chord* build[3] = {&kF, &kG, &kE};
  ComposeBuild(c, 91, 3, build, 0.6, 0.7);
}

// Bars 94-99 (188-200 s), the ending: one last kick and crash, then the
// hook once more on the bell over a closing pad, and the fade to silence.
void ComposeEnding(Composer& c) {
  c.Crash(94, 0.8);
  c.Pattern(Instrument::Kick, 94, "X...............", 1.0, 0.0, 0.8);
  c.BassHeld(94, 2, kAm, 0.8, 0.05);
  c.PadChord(94, 2.0, kAm, 0.9, 0.5);
  c.PadChord(96, 1.0, kF, 0.85, 0.45);
  c.PadChord(97, 1.0, kG, 0.8, 0.4);
  c.PadChord(98, 2.0, kAm, 0.75, 0.35);
  c.BassHeld(96, 1, kF, 0.6, 0.0);
  c.BassHeld(97, 1, kG, 0.55, 0.0);
  c.BassHeld(98, 2, kAm, 0.5, 0.0);
  c.Melody(Instrument::Bell, kThemeA, 0, 1, 94, 0.7, 0.5);
  c.Melody(Instrument::Bell, kThemeA, 1, 2, 96, 0.6, 0.45);
  c.Melody(Instrument::Bell, kThemeA, 3, 4, 97, 0.55, 0.4);
  c.Add(Instrument::Bell, BarTime(98), 3.0, 69.0, 0.5, -0.2, 0.35);
  c.Add(Instrument::Bell, BarTime(98) + 0.25, 3.0, 76.0, 0.4, 0.2, 0.35);
  const Chord* chords[4] = {&kAm, &kAm, &kF, &kG};
  for (int i = 0; i < 4; ++i) {
    c.Arpeggio(94 + i, *chords[i], kArpSlow, 2, 0.45 - 0.08 * i, 0.45 - 0.08 * i);
  }

  Score& s = c.score;
  Curve& padLp = s.busLowpass[static_cast<int>(Instrument::Pad)];
  padLp.Add(190.0, 20000.0);
  padLp.Add(193.0, 5000.0);
  padLp.Add(200.0, 500.0);
  // The fade: roughly even steps in decibels, reaching silence at 200.25 s.
  s.masterGain.Add(193.0, 1.0);
  s.masterGain.Add(195.0, 0.85);
  s.masterGain.Add(197.0, 0.55);
  s.masterGain.Add(198.5, 0.3);
  s.masterGain.Add(199.5, 0.12);
  s.masterGain.Add(200.0, 0.04);
  s.masterGain.Add(200.25, 0.0);
}

}  // namespace

Score ComposeShowScore() {
  Composer c;
  ComposeIntro(c);
  ComposeTunnel(c);
  ComposeGlow(c);
  ComposeWobbler(c);
  ComposeCube(c);
  ComposeLiquid(c);
  ComposeTwister(c);
  ComposeEnding(c);
  // Stable: notes starting together keep the order they were written in.
  std::stable_sort(c.score.notes.begin(), c.score.notes.end(),
                   [](const Note& a, const Note& b) { return NoteStartFrame(a) < NoteStartFrame(b); });
  return c.score;
}

const Score& ShowScore() {
  static const Score score = ComposeShowScore();
  return score;
}

}  // namespace music
