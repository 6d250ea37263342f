// The soundtrack's instruments: what one note of each sounds like. A Voice
// plays one Note from its first sample until it has died away; every voice is
// independent of the others, so a note sounds the same wherever it falls.
#pragma once

#include <cstdint>

#include "tools/music/dsp.h"

namespace music {

enum class Instrument : uint8_t {
  Kick,       // sine with a falling pitch and a short click
  Snare,      // two falling tones plus highpassed noise
  Clap,       // three quick bursts of bandpassed noise and a tail
  ClosedHat,  // metallic squares plus noise, highpassed, short
  OpenHat,    // the same, long
  Crash,      // wide highpassed noise with a long decay
  Riser,      // noise through a bandpass sweeping up over the note, swelling
  Bass,       // saw plus a sine an octave below, lowpass with an envelope
  Acid,       // saw through a resonant, overdriven lowpass that wobbles on the beat
  Lead,       // two detuned saws and a sub pulse, vibrato, glide
  Pluck,      // pulse with a fast filter envelope: arpeggios and stabs
  Pad,        // three detuned saws, slow envelope, drifting lowpass, wide
  Bell,       // two-operator FM: electric piano with a bell-like tine
  Count
};
constexpr int kInstrumentCount = static_cast<int>(Instrument::Count);

// Name for listings ("kick", "pad", ...).
const char* InstrumentName(Instrument instrument);

struct Note {
  double start = 0.0;   // seconds from the track's start
  double length = 0.0;  // seconds the key is held; the release follows
  Instrument instrument = Instrument::Kick;
  float pitch = 69.0f;     // MIDI note number (69 = A4 = 440 Hz); drums ignore it
  float velocity = 1.0f;   // 0..1
  float pan = 0.0f;        // -1 (left) .. 1 (right)
  float tone = 0.5f;       // 0..1: brightness (filter opening) of this note
  float slideFrom = 0.0f;  // MIDI note the pitch glides from (Lead, Acid, Bass); 0 = none
  uint32_t seed = 0;       // noise and oscillator-phase seed of this note
};

// First sample of a note: its start time rounded to the nearest sample.
int64_t NoteStartFrame(const Note& note);

// Filter cutoffs and pitch modulation are recomputed every this many samples
// of a voice (0.36 ms), counted from the note's own start.
constexpr int kControlFrames = 16;

class Voice {
 public:
  // Tempo-synced modulation (the acid's wobble, the pad's drift) follows the
  // track's time from the note's start, so it runs on across notes.
  void Start(const Note& note);
  // Adds the next `frames` samples of the note into left and right. Returns
  // false once the note has died away: later calls add nothing.
  bool Render(float* left, float* right, int frames);

 private:
  void RenderKick(float* left, float* right, int frames);
  void RenderSnare(float* left, float* right, int frames);
  void RenderClap(float* left, float* right, int frames);
  void RenderHat(float* left, float* right, int frames);
  void RenderCrash(float* left, float* right, int frames);
  void RenderRiser(float* left, float* right, int frames);
  void RenderBass(float* left, float* right, int frames);
  void RenderAcid(float* left, float* right, int frames);
  void RenderLead(float* left, float* right, int frames);
  void RenderPluck(float* left, float* right, int frames);
  void RenderPad(float* left, float* right, int frames);
  void RenderBell(float* left, float* right, int frames);

  // Pitch in Hz at the voice's current sample, with glide and a vibrato of
  // vibratoDepth semitones; updated every kControlFrames samples.
  double PitchHz(double vibratoDepth) const;
  // Releases the envelope once the key's time is over.
  void CheckGate();

  Note note_;
  int64_t t_ = 0;          // samples since the note's start
  int64_t gateFrames_ = 0;  // samples the key is held
  int64_t endFrames_ = 0;   // one-shots: samples until silence
  float gainL_ = 0.0f, gainR_ = 0.0f;  // equal-power pan times velocity
  bool done_ = false;
  Prng noise_{0};
  Adsr amp_;
  SawOsc saw_[3];
  PulseOsc pulse_;
  SineOsc sine_[3];
  // Phases in turns of the sine-based sounds (kick, snare tones, bell
  // operators); the drums also keep their decaying envelopes in these fields
  // (see each Render function).
  double phase_ = 0.0;
  double phase2_ = 0.0;
  double phase3_ = 0.0;
  double hz_ = 0.0;        // pitch at the last control update
  float fenv_ = 0.0f;      // filter envelope, 1 at the start, decaying
  float fenvCoef_ = 0.0f;  // its per-sample factor
  Svf filter_[2];
  Svf filter2_[2];
  float hatPhase_[6] = {};  // the hat's six square partials, turns
  float last_ = 0.0f;       // per-instrument state (see the Render functions)
};

}  // namespace music
