#include "tools/music/loudness.h"

#include <cmath>
#include <numbers>

namespace music {

namespace {
}  // namespace

void KWeighting(double sampleRate, Biquad& shelf, Biquad& highpass) {
  // The analogue prototypes of the standard's 48 kHz filters, mapped to the
  // given rate with the bilinear transform: at 48 kHz this gives back the
  // standard's coefficients.
  {
    const double f0 = 1681.974450955533;
    const double gainDb = 3.999843853973347;
    const double q = 0.7071752369554196;
    const double k = std::tan(std::numbers::pi * f0 / sampleRate);
    const double vh = std::pow(10.0, gainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    shelf.b0 = (vh + vb * k / q + k * k) / a0;
    shelf.b1 = 2.0 * (k * k - vh) / a0;
    shelf.b2 = (vh - vb * k / q + k * k) / a0;
    shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    shelf.a2 = (1.0 - k / q + k * k) / a0;
  }
  {
    const double f0 = 38.13547087602444;
    const double q = 0.5003270373238773;
    const double k = std::tan(std::numbers::pi * f0 / sampleRate);
    const double a0 = 1.0 + k / q + k * k;
    highpass.b0 = 1.0;
    highpass.b1 = -2.0;
    highpass.b2 = 1.0;
    highpass.a1 = 2.0 * (k * k - 1.0) / a0;
    highpass.a2 = (1.0 - k / q + k * k) / a0;
  }
}

LoudnessMeter::LoudnessMeter(int sampleRate)
    : subBlockFrames_(static_cast<int64_t>(std::lround(sampleRate * 0.1))) {
  KWeighting(sampleRate, shelf_, highpass_);
}

double LoudnessMeter::Step(const Biquad& f, FilterState& s, double x) {
  const double y = f.b0 * x + f.b1 * s.x1 + f.b2 * s.x2 - f.a1 * s.y1 - f.a2 * s.y2;
  s.x2 = s.x1;
  s.x1 = x;
  s.y2 = s.y1;
  s.y1 = y;
  return y;
}

void LoudnessMeter::Add(const float* interleaved, int64_t frames) {
  for (int64_t i = 0; i < frames; ++i) {
    for (int ch = 0; ch < 2; ++ch) {
      const double x = interleaved[2 * i + ch];
      const double a = std::fabs(x);
      if (a > peak_) peak_ = a;
      const double y = Step(highpass_, state_[ch][1], Step(shelf_, state_[ch][0], x));
      subBlockSum_ += y * y;
    }
    if (++inSubBlock_ == subBlockFrames_) {
      subBlockPowers_.push_back(subBlockSum_ / static_cast<double>(subBlockFrames_));
      subBlockSum_ = 0.0;
      inSubBlock_ = 0;
    }
  }
}

double LoudnessMeter::IntegratedLufs() const {
  // Gating blocks: four consecutive 100 ms sub-blocks (400 ms, 75 % overlap).
  std::vector<double> blocks;
  for (size_t i = 3; i < subBlockPowers_.size(); ++i) {
    blocks.push_back(0.25 * (subBlockPowers_[i - 3] + subBlockPowers_[i - 2] + subBlockPowers_[i - 1] +
                             subBlockPowers_[i]));
  }
  const auto loudness = [](double power) { return -0.691 + 10.0 * std::log10(power); };
  double sum = 0.0;
  int count = 0;
  for (double p : blocks) {
    if (p > 0.0 && loudness(p) > -70.0) {
      sum += p;
      ++count;
    }
  }
  if (count == 0) return -HUGE_VAL;
  const double relativeGate = loudness(sum / count) - 10.0;
  sum = 0.0;
  count = 0;
  for (double p : blocks) {
    if (p > 0.0 && loudness(p) > -70.0 && loudness(p) > relativeGate) {
      sum += p;
      ++count;
    }
  }
  if (count == 0) return -HUGE_VAL;
  return loudness(sum / count);
}

double ToDecibels(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

}  // namespace music
