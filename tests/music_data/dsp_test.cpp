// The synthesiser's building blocks: noise source, oscillators, envelope,
// filters, echo, reverb and limiter.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "tests/music_data/signal_helpers.h"
#include "tools/music/dsp.h"

namespace {

using namespace music;
using soundtrack_test::BinAmplitude;

TEST(MusicPrng, MatchesTheSplitMix64ReferenceSequence) {
  // The published first outputs of SplitMix64 seeded with 1234567.
  Prng prng(1234567);
  for (uint64_t want : {6457827717110365317ull, 3203168211198807973ull, 9817491932198370423ull,
                        4593380528125082431ull, 16408922859458223821ull}) {
    EXPECT_EQ(prng.Next(), want);
  }
}

TEST(MusicPrng, NoiseStaysInRangeAndCentred) {
  Prng prng(42);
  double sum = 0.0, sumSquares = 0.0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const float v = prng.Bipolar();
    const double u = prng.Unit();
    ASSERT_TRUE(v >= -1.0f && v < 1.0f && u >= 0.0 && u < 1.0) << v << " " << u;
    sum += v;
    sumSquares += static_cast<double>(v) * v;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(sumSquares / n, 1.0 / 3.0, 0.01);  // variance of uniform [-1, 1)
}

TEST(MusicSine, TableSineFollowsStdSinAndPitchIsEqualTempered) {
  double worst = 0.0;
  for (int i = -5000; i < 20000; ++i) {
    const double turns = i * 0.000731 + 0.0001;
    worst = std::max(worst, std::fabs(SineTurns(turns) - std::sin(2.0 * kPi * turns)));
  }
  EXPECT_LT(worst, 1e-6);
  EXPECT_FLOAT_EQ(SineTurns(0.25), 1.0f);
  EXPECT_FLOAT_EQ(SineTurns(-0.25), -1.0f);
  // Note numbers in equal temperament, A4 = 69 = 440 Hz.
  EXPECT_DOUBLE_EQ(NoteToHz(69.0), 440.0);
  EXPECT_NEAR(NoteToHz(81.0), 880.0, 1e-9);
  EXPECT_NEAR(NoteToHz(60.0), 261.6255653, 1e-6);
}

// A saw at 3 kHz: its 10th harmonic (30 kHz) is above the Nyquist frequency
// and folds back to 14.1 kHz in a naive saw. The band-limited saw must keep
// the harmonics below Nyquist and suppress the fold-back.
TEST(MusicOscillators, SawIsBandLimited) {
  const int n = 44100;
  const double hz = 3000.0;
  std::vector<float> blep(n), naive(n);
  SawOsc saw;
  double phase = 0.0;
  for (int i = 0; i < n; ++i) {
    blep[i] = saw.Next(hz);
    naive[i] = static_cast<float>(2.0 * phase - 1.0);
    phase += hz / kSampleRate;
    if (phase >= 1.0) phase -= 1.0;
  }
  // The saw's k-th harmonic has amplitude 2 / (k pi).
  EXPECT_NEAR(BinAmplitude(blep.data(), n, 3000.0), 2.0 / kPi, 0.03);
  EXPECT_NEAR(BinAmplitude(blep.data(), n, 6000.0), 1.0 / kPi, 0.03);
  const double aliasNaive = BinAmplitude(naive.data(), n, 14100.0);
  const double aliasBlep = BinAmplitude(blep.data(), n, 14100.0);
  EXPECT_GT(aliasNaive, 0.05);  // the measurement sees the fold-back at all
  EXPECT_LT(20.0 * std::log10(aliasBlep / aliasNaive), -12.0);
}

TEST(MusicOscillators, PulseHasNoDcAndTheRightDuty) {
  PulseOsc pulse;
  const int n = 44100;  // 100 whole periods of 441 Hz
  double sum = 0.0;
  int high = 0;
  for (int i = 0; i < n; ++i) {
    const float v = pulse.Next(441.0, 0.3);
    sum += v;
    high += v > 0.0f;
  }
  EXPECT_NEAR(sum / n, 0.0, 1e-3);
  EXPECT_NEAR(static_cast<double>(high) / n, 0.3, 0.02);
}

TEST(MusicEnvelope, AttackDecaySustainRelease) {
  Adsr env;
  env.Start(0.0, 0.1, 1.0, 0.0);
  EXPECT_LE(env.Next(), 1.0f / 44.0f);  // a zero attack still ramps over at least a millisecond
  env.Start(0.01, 0.05, 0.5, 0.02);
  EXPECT_FALSE(env.Done());
  const float first = env.Next();
  EXPECT_TRUE(first > 0.0f && first < 0.01f) << first;  // no jump at the note's start
  float peak = first;
  for (int i = 1; i < 441; ++i) peak = std::max(peak, env.Next());
  EXPECT_FLOAT_EQ(peak, 1.0f);  // the top after 10 ms
  float level = 0.0f;
  for (int i = 0; i < 44100; ++i) {
    level = env.Next();
    ASSERT_LE(level, 1.0f);
  }
  EXPECT_NEAR(level, 0.5f, 1e-3);  // settled on the sustain level
  env.Release();
  float previous = level;
  int samples = 0;
  while (!env.Done() && samples < 44100) {
    const float v = env.Next();
    ASSERT_LE(v, previous);
    EXPECT_LT(previous - v, 0.01f);  // a smooth fall, no click
    previous = v;
    ++samples;
  }
  EXPECT_TRUE(env.Done());
  // -80 dB from 0.5 with a 20 ms time constant: about 0.17 s.
  EXPECT_NEAR(samples / 44100.0, 0.02 * std::log(0.5 / 1e-4), 0.005);
  EXPECT_EQ(env.Next(), 0.0f);
}

// Steady-state gain of a filter for a sine at hz.
double SvfGain(double cutoff, double hz, bool high) {
  Svf f;
  f.Set(cutoff, 0.7071);
  const int n = 44100;
  std::vector<float> out(n);
  for (int i = 0; i < n; ++i) {
    const float x = static_cast<float>(std::sin(2.0 * kPi * hz * i / kSampleRate));
    const Svf::Out o = f.Process(x);
    out[i] = high ? o.high : o.low;
  }
  // The last half second, when the start-up has died away.
  return BinAmplitude(out.data() + n / 2, n / 2, hz);
}

TEST(MusicFilter, StateVariableLowpassAndHighpassResponses) {
  // Cutoff 1 kHz: -3 dB at the cutoff, unity in the pass band, steep in the stop band.
  struct Case { double hz; bool high; double minDb, maxDb; };
  for (const Case& c : {Case{1000.0, false, -3.11, -2.91}, Case{50.0, false, -0.09, 0.09},
                        Case{8000.0, false, -300.0, -35.0}, Case{1000.0, true, -3.11, -2.91},
                        Case{12000.0, true, -0.18, 0.17}, Case{100.0, true, -300.0, -38.0}}) {
    const double db = 20.0 * std::log10(SvfGain(1000.0, c.hz, c.high));
    EXPECT_TRUE(db >= c.minDb && db <= c.maxDb) << c.hz << " Hz " << (c.high ? "high" : "low") << ": " << db;
  }
}

TEST(MusicFilter, CutoffIsClampedSoTheFilterStaysStable) {
  // Far above Nyquist; below 20 Hz with q below 0.5.
  for (const auto& [cutoff, q] : {std::pair{1e6, 0.7}, std::pair{-5.0, 0.1}}) {
    Svf f;
    f.Set(cutoff, q);
    Prng noise(7);
    for (int i = 0; i < 44100; ++i) {
      const Svf::Out o = f.Process(noise.Bipolar());
      ASSERT_TRUE(std::fabs(o.low) < 10.0f && std::fabs(o.high) < 10.0f) << cutoff << " Hz, sample " << i;
    }
  }
}

TEST(MusicCurve, InterpolatesAndHoldsItsEnds) {
  Curve empty;
  EXPECT_EQ(empty.At(12.0), 1.0);
  Curve c;
  c.Add(1.0, 10.0);
  c.Add(3.0, 30.0);
  c.Add(3.0, 0.0);  // a step
  c.Add(5.0, 100.0);
  EXPECT_EQ(c.At(0.0), 10.0);
  EXPECT_EQ(c.At(2.0), 20.0);
  EXPECT_EQ(c.At(4.0), 50.0);
  EXPECT_EQ(c.At(9.0), 100.0);
}

TEST(MusicEcho, PingPongsBetweenTheChannels) {
  PingPongDelay echo;
  echo.Init(0.25, 0.5, 20000.0);
  const int d = 11025;
  std::vector<float> l(4 * d + 10), r(4 * d + 10);
  for (size_t i = 0; i < l.size(); ++i) echo.Process(i == 0 ? 1.0f : 0.0f, l[i], r[i]);
  EXPECT_EQ(l[0], 0.0f);  // wet only
  const auto argmax = [](const std::vector<float>& v) {
    return std::max_element(v.begin(), v.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
           v.begin();
  };
  EXPECT_EQ(argmax(l), d);      // first repeat on the left
  EXPECT_EQ(argmax(r), 2 * d);  // then on the right
  EXPECT_NEAR(l[d], 1.0f, 1e-6);
  EXPECT_NEAR(std::fabs(r[2 * d]), 0.425f, 0.125f);  // fed back at half level (and slightly darkened)
}

TEST(MusicReverb, TailDecaysAndIsWide) {
  Reverb reverb;
  reverb.Init(0.86, 0.35);
  const int n = 5 * 44100;
  std::vector<float> l(n), r(n);
  for (int i = 0; i < n; ++i) reverb.Process(i == 0 ? 1.0f : 0.0f, l[i], r[i]);
  const auto energy = [&](const std::vector<float>& v, double from, double to) {
    double s = 0.0;
    for (int i = static_cast<int>(from * 44100); i < static_cast<int>(to * 44100); ++i) s += v[i] * v[i];
    return s;
  };
  const auto both = [&](double from) { return energy(l, from, from + 0.5) + energy(r, from, from + 0.5); };
  EXPECT_GT(both(0.0), 0.0);
  EXPECT_LT(both(1.0), both(0.0));
  EXPECT_LT(both(3.0), both(1.0) * 0.1);
  // Decorrelated channels: the two tails are far from identical.
  double cross = 0.0;
  for (int i = 0; i < 44100; ++i) cross += static_cast<double>(l[i]) * r[i];
  EXPECT_LT(std::fabs(cross), 0.5 * std::sqrt(energy(l, 0.0, 1.0) * energy(r, 0.0, 1.0)));
  // Nothing comes out before the pre-delay.
  for (int i = 0; i < 900; ++i) ASSERT_EQ(l[i], 0.0f);
}

TEST(MusicLimiter, NeverExceedsTheCeiling) {
  Limiter limiter;
  const double ceiling = 0.8;
  limiter.Init(132, ceiling, 0.1);
  Prng noise(3);
  float worst = 0.0f;
  for (int i = 0; i < 10 * 44100; ++i) {
    // Loud bursts every half second over quieter noise, up to 4x the ceiling.
    const float burst = (i % 22050) < 300 ? 4.0f : 0.5f;
    float l, r;
    limiter.Process(noise.Bipolar() * burst, noise.Bipolar() * burst * 0.7f, l, r);
    worst = std::max({worst, std::fabs(l), std::fabs(r)});
  }
  EXPECT_LE(worst, ceiling * (1.0 + 1e-6));
  EXPECT_GT(worst, ceiling * 0.95);  // and it does not pump far below it
}

TEST(MusicLimiter, QuietSignalPassesWithItsLatencyAndGainRecoversAfterAPeak) {
  Limiter limiter;
  limiter.Init(132, 0.8, 0.1);
  Prng noise(5);
  std::vector<float> in(44100);
  for (float& v : in) v = noise.Bipolar() * 0.5f;
  float l, r;
  for (size_t i = 0; i < in.size(); ++i) {
    limiter.Process(in[i], -in[i], l, r);
    ASSERT_EQ(r, -l);
    ASSERT_EQ(l, i < 131 ? 0.0f : in[i - 131]) << i;  // unchanged, 131 samples late
  }
  for (int i = 0; i < 300; ++i) limiter.Process(0.1f, 0.0f, l, r);  // past the latency
  float least = 1.0f;
  for (int i = 0; i < 600; ++i) {
    limiter.Process(i == 100 ? 1.6f : 0.1f, 0.0f, l, r);
    if (l < 0.5f) least = std::min(least, l);  // the quiet samples around the peak
  }
  EXPECT_LT(least, 0.1f * 0.9f);  // the peak's gain reduction spreads smoothly around it
  EXPECT_GT(least, 0.1f * 0.5f - 1e-6f);
  for (int i = 0; i < 2 * 44100; ++i) limiter.Process(0.1f, 0.0f, l, r);
  EXPECT_NEAR(l, 0.1f, 1e-6f);  // back to unity gain
}

}  // namespace
