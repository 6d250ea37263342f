#include "tools/music/dsp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace music {

const float* SineTable() {
  static const std::array<float, kSineTableSize + 1> table = [] {
    std::array<float, kSineTableSize + 1> t{};
    for (int i = 0; i < kSineTableSize; ++i) {
      t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * i / kSineTableSize));
    }
    t[kSineTableSize] = t[0];
    return t;
  }();
  return table.data();
}

double NoteToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

float DecayCoef(double seconds) {
  return static_cast<float>(std::exp(-1.0 / (seconds * kSampleRate)));
}

void Adsr::Start(double attack, double decay, double sustainLevel, double release) {
  stage = Stage::Attack;
  level = 0.0f;
  attackStep = static_cast<float>(1.0 / (std::max(attack, 0.001) * kSampleRate));
  decayCoef = DecayCoef(std::max(decay, 0.001));
  sustain = static_cast<float>(sustainLevel);
  releaseCoef = DecayCoef(std::max(release, 0.002));
}

void Adsr::Release() {
  if (stage != Stage::Done) stage = Stage::Release;
}

float Adsr::Next() {
  switch (stage) {
    case Stage::Attack:
      level += attackStep;
      if (level >= 1.0f) {
        level = 1.0f;
        stage = Stage::Decay;
      }
      break;
    case Stage::Decay:
      level = sustain + (level - sustain) * decayCoef;
      break;
    case Stage::Release:
      level *= releaseCoef;
      if (level < 1e-4f) {
        level = 0.0f;
        stage = Stage::Done;
      }
      break;
    case Stage::Done:
      level = 0.0f;
      break;
  }
  return level;
}

void Svf::Set(double cutoffHz, double q) {
  const double fc = std::clamp(cutoffHz, 20.0, 0.45 * kSampleRate);
  const double g = std::tan(std::numbers::pi * fc / kSampleRate);
  const double kk = 1.0 / std::max(q, 0.5);
  const double d1 = 1.0 / (1.0 + g * (g + kk));
  k = static_cast<float>(kk);
  a1 = static_cast<float>(d1);
  a2 = static_cast<float>(g * d1);
  a3 = static_cast<float>(g * g * d1);
}

void OnePole::Set(double cutoffHz) {
  a = static_cast<float>(1.0 - std::exp(-2.0 * std::numbers::pi * cutoffHz / kSampleRate));
}

double Curve::At(double time) const {
  if (points.empty()) return 1.0;
  if (time <= points.front().time) return points.front().value;
  if (time >= points.back().time) return points.back().value;
  size_t i = 1;
  while (points[i].time < time) ++i;
  const Point& p0 = points[i - 1];
  const Point& p1 = points[i];
  if (p1.time <= p0.time) return p1.value;
  const double f = (time - p0.time) / (p1.time - p0.time);
  return p0.value + (p1.value - p0.value) * f;
}

void PingPongDelay::Init(double delaySeconds, double feedbackGain, double toneHz) {
  const size_t n = static_cast<size_t>(std::lround(delaySeconds * kSampleRate));
  left.assign(n, 0.0f);
  right.assign(n, 0.0f);
  pos = 0;
  feedback = static_cast<float>(feedbackGain);
  toneL.Set(toneHz);
  toneR.Set(toneHz);
}

void PingPongDelay::Process(float in, float& outL, float& outR) {
  const float l = left[pos];
  const float r = right[pos];
  left[pos] = Flush(in + toneR.Low(r) * feedback);
  right[pos] = Flush(toneL.Low(l) * feedback);
  if (++pos == static_cast<int>(left.size())) pos = 0;
  outL = l;
  outR = r;
}

void Reverb::Init(double roomSize, double damp) {
  // Line lengths in samples at 44.1 kHz, mutually prime so that the combs'
  // echoes never line up; the right channel's are a little longer.
  static const int kCombLengths[8] = {1129, 1201, 1279, 1361, 1423, 1489, 1559, 1621};
  static const int kAllpassLengths[4] = {563, 443, 347, 223};
  static const int kSpread = 29;
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < 8; ++i) {
      combs[ch][i].line.assign(static_cast<size_t>(kCombLengths[i] + ch * kSpread), 0.0f);
      combs[ch][i].pos = 0;
      combs[ch][i].store = 0.0f;
    }
    for (int i = 0; i < 4; ++i) {
      allpasses[ch][i].line.assign(static_cast<size_t>(kAllpassLengths[i] + ch * kSpread), 0.0f);
      allpasses[ch][i].pos = 0;
    }
  }
  preDelay.assign(static_cast<size_t>(0.022 * kSampleRate), 0.0f);
  prePos = 0;
  feedback = static_cast<float>(std::clamp(roomSize, 0.0, 0.98));
  damping = static_cast<float>(std::clamp(damp, 0.0, 1.0));
  inputHigh.Set(180.0);
}

void Reverb::Process(float in, float& outL, float& outR) {
  const float delayed = preDelay[prePos];
  preDelay[prePos] = inputHigh.High(in);
  if (++prePos == static_cast<int>(preDelay.size())) prePos = 0;
  const float input = delayed * 0.12f;
  float out[2];
  for (int ch = 0; ch < 2; ++ch) {
    float sum = 0.0f;
    for (Comb& c : combs[ch]) {
      const float y = c.line[c.pos];
      c.store = Flush(y * (1.0f - damping) + c.store * damping);
      c.line[c.pos] = Flush(input + c.store * feedback);
      if (++c.pos == static_cast<int>(c.line.size())) c.pos = 0;
      sum += y;
    }
    for (Allpass& a : allpasses[ch]) {
      const float buffered = a.line[a.pos];
      a.line[a.pos] = Flush(sum + buffered * 0.5f);
      if (++a.pos == static_cast<int>(a.line.size())) a.pos = 0;
      sum = buffered - sum;
    }
    out[ch] = sum;
  }
  outL = out[0];
  outR = out[1];
}

void Limiter::Init(int lookaheadSamples, double ceilingLinear, double releaseSeconds) {
  lookahead = std::max(lookaheadSamples, 1);
  ceiling = static_cast<float>(ceilingLinear);
  releaseCoef = 1.0 - std::exp(-1.0 / (releaseSeconds * kSampleRate));
  held = 1.0;
  count = 0;
  delayL.assign(static_cast<size_t>(lookahead), 0.0f);
  delayR.assign(static_cast<size_t>(lookahead), 0.0f);
  minIndex.assign(static_cast<size_t>(lookahead), 0);
  minValue.assign(static_cast<size_t>(lookahead), 1.0f);
  minHead = 0;
  minSize = 0;
  box.assign(static_cast<size_t>(lookahead), 1.0f);
  boxSum = lookahead;
  boxPos = 0;
}

void Limiter::Process(float inL, float inR, float& outL, float& outR) {
  const float peak = std::max(std::fabs(inL), std::fabs(inR));
  const float needed = peak > ceiling ? ceiling / peak : 1.0f;
  // Recover towards unity at the release rate, never above what is needed.
  held = std::min(static_cast<double>(needed), held + (1.0 - held) * releaseCoef);
  const float heldGain = static_cast<float>(held);

  // Sliding minimum of held over the last `lookahead` samples.
  const int n = lookahead;
  if (minSize > 0 && minIndex[minHead] <= count - n) {  // left the window
    minHead = (minHead + 1) % n;
    --minSize;
  }
  while (minSize > 0 && minValue[(minHead + minSize - 1) % n] >= heldGain) --minSize;
  const int tail = (minHead + minSize) % n;
  minIndex[tail] = count;
  minValue[tail] = heldGain;
  ++minSize;
  const float windowMin = minValue[minHead];

  // Box average of the window minima: the gain of the sample leaving the
  // delay line now.
  boxSum += static_cast<double>(windowMin) - static_cast<double>(box[boxPos]);
  box[boxPos] = windowMin;
  if (++boxPos == n) boxPos = 0;
  const float gain = std::min(1.0f, static_cast<float>(boxSum / n));

  // The delay line holds the last n inputs; the oldest is n - 1 samples back.
  const int slot = static_cast<int>(count % n);
  delayL[slot] = inL;
  delayR[slot] = inR;
  const int oldest = static_cast<int>((count + 1) % n);
  outL = delayL[oldest] * gain;
  outR = delayR[oldest] * gain;
  ++count;
}

}  // namespace music
