// Small measuring tools for the soundtrack tests: levels, band levels, single
// DFT bins and a digest of samples. Independent of the generator's own DSP,
// so that they can judge it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace soundtrack_test {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

// FNV-1a over the bit patterns of the samples: equal digests mean equal
// samples, bit for bit.
inline uint64_t Digest(const float* samples, size_t count) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < count; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &samples[i], 4);
    for (int b = 0; b < 4; ++b) {
      h ^= (bits >> (8 * b)) & 0xFFu;
      h *= 0x100000001B3ull;
    }
  }
  return h;
}

inline double Db(double power) { return 10.0 * std::log10(power + 1e-30); }

// Mean square of both channels of interleaved frames [first, first + count).
inline double MeanSquare(const std::vector<float>& interleaved, size_t first, size_t count) {
  double sum = 0.0;
  for (size_t i = first; i < first + count; ++i) {
    const double l = interleaved[2 * i];
    const double r = interleaved[2 * i + 1];
    sum += 0.5 * (l * l + r * r);
  }
  return sum / static_cast<double>(count);
}

// Second-order Butterworth sections (audio-cookbook forms).
struct Biquad2 {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double Step(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

inline Biquad2 Lowpass(double hz) {
  const double w = 2.0 * kPi * hz / kRate, c = std::cos(w), alpha = std::sin(w) / (2.0 * 0.7071067811865476);
  const double a0 = 1.0 + alpha;
  return Biquad2{(1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

inline Biquad2 Highpass(double hz) {
  const double w = 2.0 * kPi * hz / kRate, c = std::cos(w), alpha = std::sin(w) / (2.0 * 0.7071067811865476);
  const double a0 = 1.0 + alpha;
  return Biquad2{(1.0 + c) / 2.0 / a0, -(1.0 + c) / a0, (1.0 + c) / 2.0 / a0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

// Levels in dB (mean square of the mid signal) of three bands of frames
// [first, first + count): below 150 Hz (kick, bass), 150 Hz..3 kHz (chords,
// melody), above 3 kHz (hats, cymbals, noise). The filters run in from 0.2 s
// before `first` (or the start) so their start-up does not count.
struct BandLevels {
  double low, mid, high;
};

inline BandLevels MeasureBands(const std::vector<float>& interleaved, size_t first, size_t count) {
  Biquad2 low = Lowpass(150.0), midHigh = Highpass(150.0), midLow = Lowpass(3000.0), high = Highpass(3000.0);
  const size_t runIn = static_cast<size_t>(0.2 * kRate);
  const size_t start = first > runIn ? first - runIn : 0;
  double sl = 0, sm = 0, sh = 0;
  for (size_t i = start; i < first + count; ++i) {
    const double m = 0.5 * (interleaved[2 * i] + interleaved[2 * i + 1]);
    const double l = low.Step(m);
    const double md = midLow.Step(midHigh.Step(m));
    const double h = high.Step(m);
    if (i < first) continue;
    sl += l * l;
    sm += md * md;
    sh += h * h;
  }
  const double n = static_cast<double>(count);
  return BandLevels{Db(sl / n), Db(sm / n), Db(sh / n)};
}

// Amplitude of the component at hz in samples[0, n) (a single DFT bin,
// normalised so that a sine of amplitude A reads A when hz is a whole number
// of cycles over the stretch).
inline double BinAmplitude(const float* samples, size_t n, double hz, size_t stride = 1) {
  double re = 0.0, im = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double phase = 2.0 * kPi * hz * static_cast<double>(i) / kRate;
    re += samples[i * stride] * std::cos(phase);
    im -= samples[i * stride] * std::sin(phase);
  }
  return 2.0 * std::sqrt(re * re + im * im) / static_cast<double>(n);
}

}  // namespace soundtrack_test
