// Level meters for the finished track: sample peak and the integrated
// loudness of ITU-R BS.1770 (K-weighting, 400 ms blocks overlapping by 75 %,
// absolute gate at -70 LUFS, relative gate 10 LU below the ungated mean).
// Stereo, both channels weighted 1.
#pragma once

#include <cstdint>
#include <vector>

namespace music {

// y = b0 x + b1 x[-1] + b2 x[-2] - a1 y[-1] - a2 y[-2]
struct Biquad {
  double b0, b1, b2, a1, a2;
};

// The two stages of the K-weighting at a sample rate (Hz): the high shelf
// (+4 dB above about 1.7 kHz, the head's effect) and the highpass near 38 Hz.
void KWeighting(double sampleRate, Biquad& shelf, Biquad& highpass);

class LoudnessMeter {
 public:
  explicit LoudnessMeter(int sampleRate);

  // Feeds interleaved stereo frames.
  void Add(const float* interleaved, int64_t frames);

  // Integrated loudness in LUFS; -HUGE_VAL when every block is gated out
  // (silence, or less than one 400 ms block of input).
  double IntegratedLufs() const;
  // Largest absolute sample value seen (linear, 1.0 = full scale).
  double SamplePeak() const { return peak_; }

 private:
  struct FilterState {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  static double Step(const Biquad& f, FilterState& s, double x);

  Biquad shelf_{}, highpass_{};
  FilterState state_[2][2];  // [channel][stage]
  int64_t subBlockFrames_;   // 100 ms
  int64_t inSubBlock_ = 0;
  double subBlockSum_ = 0.0;            // sum of weighted squares, both channels
  std::vector<double> subBlockPowers_;  // mean square per 100 ms
  double peak_ = 0.0;
};

// Decibels of a linear level (20 log10), -HUGE_VAL for 0.
double ToDecibels(double linear);

}  // namespace music
