// Signal-processing building blocks of the soundtrack generator: a fixed-seed
// noise source, band-limited oscillators, envelopes, filters, the delay and
// reverb, and the bus limiter. Build-time tool code: never links the engine.
//
// Everything runs in plain float/double arithmetic in a fixed order, so the
// same calls give the same samples on every run. All audio is at kSampleRate;
// times are in seconds, frequencies in Hz, levels linear (1.0 = full scale).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/common/prng.h"

namespace music {

constexpr int kSampleRate = 44100;

using tools::Prng;

// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz); fractional notes
// bend in cents (69.5 = a quarter tone above A4).
double NoteToHz(double note);

// The 4097-entry table behind SineTurns: one period of sin(2 pi i / 4096),
// with the first entry repeated at the end so interpolation never wraps.
const float* SineTable();
constexpr int kSineTableSize = 4096;

// Sine of a phase in turns (any real value), from the table with linear
// interpolation: error below 4e-7 (-128 dB), cheaper than std::sin.
inline float SineTurns(double phase) {
  const float* table = SineTable();
  const double pos = (phase - std::floor(phase)) * kSineTableSize;
  int index = static_cast<int>(pos);
  if (index >= kSineTableSize) index = kSineTableSize - 1;  // phase just below a whole turn
  const float frac = static_cast<float>(pos - index);
  return table[index] + frac * (table[index + 1] - table[index]);
}

// Adding and removing a tiny constant turns values far below audibility into
// exact zeros, so that decaying feedback paths never reach the very slow
// subnormal range (no fast-math here to flush them).
inline float Flush(float v) {
  v += 1e-18f;
  return v - 1e-18f;
}

// The PolyBLEP correction of a unit step at phase 0 for an oscillator at phase
// t in [0, 1) advancing dt turns per sample (0 < dt < 0.5): subtracting it from
// a naive saw (adding it at a square's rising edge) removes most of the aliasing
// of the jump.
inline double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

// Band-limited sawtooth in [-1, 1]; phase in turns [0, 1).
struct SawOsc {
  double phase = 0.0;
  // One sample at frequency hz (below a quarter of the sample rate).
  float Next(double hz) {
    const double dt = hz / kSampleRate;
    const double v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return static_cast<float>(v);
  }
};

// Band-limited pulse in [-1, 1] with duty cycle width (0.05..0.95), DC removed.
struct PulseOsc {
  double phase = 0.0;
  float Next(double hz, double width) {
    const double dt = hz / kSampleRate;
    double v = phase < width ? 1.0 : -1.0;
    v += PolyBlep(phase, dt);  // rising edge at phase 0
    double fall = phase + 1.0 - width;
    if (fall >= 1.0) fall -= 1.0;
    v -= PolyBlep(fall, dt);  // falling edge at phase = width
    v -= 2.0 * width - 1.0;   // the pulse's mean
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return static_cast<float>(v);
  }
};

// Sine with a phase accumulator (turns).
struct SineOsc {
  double phase = 0.0;
  float Next(double hz) {
    const float v = SineTurns(phase);
    phase += hz / kSampleRate;
    if (phase >= 1.0) phase -= 1.0;
    return v;
  }
};

// Attack-decay-sustain-release envelope in [0, 1]: linear attack (at least
// one millisecond, so a note never starts with a jump), exponential decay
// towards the sustain level, exponential release after Release(); Done() once
// the release has fallen 80 dB, after which Next() returns exact zeros.
struct Adsr {
  enum class Stage : uint8_t { Attack, Decay, Release, Done };
  Stage stage = Stage::Done;
  float level = 0.0f;
  float attackStep = 0.0f;  // level per sample
  float decayCoef = 0.0f;   // per-sample factor on the distance to sustain
  float sustain = 0.0f;
  float releaseCoef = 0.0f;  // per-sample factor of the level

  // attack, decay and release in seconds (time constants for decay and
  // release: the level falls to 1/e of its distance in that time).
  void Start(double attack, double decay, double sustainLevel, double release);
  void Release();
  float Next();
  bool Done() const { return stage == Stage::Done; }
};

// Per-sample factor of an exponential decay with time constant seconds.
float DecayCoef(double seconds);

// State-variable filter in the trapezoidal (zero-delay feedback) form: stays
// stable and smooth while its cutoff moves. Set() clamps the cutoff to
// 20 Hz..0.45 x the sample rate; q >= 0.5 (0.707 = Butterworth).
struct Svf {
  float ic1 = 0.0f, ic2 = 0.0f;  // integrator states
  float k = 1.414f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;

  struct Out {
    float low, band, high;
  };
  void Set(double cutoffHz, double q);
  Out Process(float in) {
    const float v3 = in - ic2;
    const float v1 = a1 * ic1 + a2 * v3;
    const float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = Flush(2.0f * v1 - ic1);
    ic2 = Flush(2.0f * v2 - ic2);
    return Out{v2, v1, in - k * v1 - v2};
  }
};

// One-pole lowpass; coefficient from the cutoff in Hz.
struct OnePole {
  float y = 0.0f;
  float a = 1.0f;
  void Set(double cutoffHz);
  float Low(float in) {
    y = Flush(y + a * (in - y));
    return y;
  }
  float High(float in) { return in - Low(in); }
};

// First-order DC blocker, corner near 3.5 Hz.
struct DcBlocker {
  float x1 = 0.0f, y1 = 0.0f;
  float Process(float in) {
    const float y = Flush(in - x1 + 0.9995f * y1);
    x1 = in;
    y1 = y;
    return y;
  }
};

// Piecewise-linear automation over the track's time: points in rising time;
// constant before the first and after the last point. An empty curve is 1.
struct Curve {
  struct Point {
    double time;  // seconds
    double value;
  };
  std::vector<Point> points;

  void Add(double time, double value) { points.push_back(Point{time, value}); }
  double At(double time) const;
};

// Ping-pong echo: the left line feeds the right and back; the feedback is
// darkened by a lowpass so the repeats fade into the background.
struct PingPongDelay {
  std::vector<float> left, right;
  int pos = 0;
  float feedback = 0.0f;
  OnePole toneL, toneR;

  void Init(double delaySeconds, double feedbackGain, double toneHz);
  // Mono input in, stereo echoes out (the dry signal is not included).
  void Process(float in, float& outL, float& outR);
};

// Stereo reverb: a pre-delay, eight damped feedback combs per channel in
// parallel, then four allpasses in series. The two channels use different
// line lengths so the tail is wide.
struct Reverb {
  struct Comb {
    std::vector<float> line;
    int pos = 0;
    float store = 0.0f;
  };
  struct Allpass {
    std::vector<float> line;
    int pos = 0;
  };
  std::vector<float> preDelay;
  int prePos = 0;
  Comb combs[2][8];
  Allpass allpasses[2][4];
  float feedback = 0.0f;  // 0..0.98: the tail's length
  float damping = 0.0f;   // 0..1: how fast highs die in the tail
  OnePole inputHigh;      // keeps the low end out of the tail

  void Init(double roomSize, double damp);
  // Mono input in, stereo wet signal out.
  void Process(float in, float& outL, float& outR);
};

// Look-ahead peak limiter for the stereo bus: the output never exceeds
// ceiling (linear). The gain it needs per sample (with a smooth recovery of
// releaseSeconds) is taken as the minimum over the next `lookahead` samples
// and then averaged over as many: that average is never above the gain
// required at any sample, yet moves smoothly, so peaks are caught without
// clicks. The output lags the input by lookahead - 1 samples.
struct Limiter {
  int lookahead = 1;
  float ceiling = 1.0f;
  // The recovering gain runs in double: in float its last steps towards 1
  // (about 1e-8 each) would round away and leave it stuck below unity.
  double releaseCoef = 0.0;
  double held = 1.0;
  int64_t count = 0;  // samples pushed
  std::vector<float> delayL, delayR;
  std::vector<int64_t> minIndex;  // monotonic queue of the window's minimum
  std::vector<float> minValue;
  int minHead = 0, minSize = 0;
  std::vector<float> box;
  double boxSum = 0.0;
  int boxPos = 0;

  void Init(int lookaheadSamples, double ceilingLinear, double releaseSeconds);
  // Pushes one input frame and returns the output frame lookahead - 1
  // samples older (zeros at first).
  void Process(float inL, float inR, float& outL, float& outR);
};

}  // namespace music
