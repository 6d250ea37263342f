#include "tools/music/instruments.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace music {

namespace {

constexpr double kGlideSeconds = 0.06;

// Samples until an exponential decay with time constant tau reaches -80 dB.
int64_t SilentAfter(double tau) { return static_cast<int64_t>(std::ceil(tau * 9.22 * kSampleRate)); }

// Linear fade-in over `seconds` from the note's first sample (0 at t = 0).
inline float Ramp(int64_t t, double seconds) {
  const double v = static_cast<double>(t) / (seconds * kSampleRate);
  return v >= 1.0 ? 1.0f : static_cast<float>(v);
}

// The classic metallic cymbal partials (Hz), scaled up for a brighter hat.
constexpr double kHatPartials[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};

}  // namespace

const char* InstrumentName(Instrument instrument) {
  switch (instrument) {
    case Instrument::Kick: return "kick";
    case Instrument::Snare: return "snare";
    case Instrument::Clap: return "clap";
    case Instrument::ClosedHat: return "closed hat";
    case Instrument::OpenHat: return "open hat";
    case Instrument::Crash: return "crash";
    case Instrument::Riser: return "riser";
    case Instrument::Bass: return "bass";
    case Instrument::Acid: return "acid";
    case Instrument::Lead: return "lead";
    case Instrument::Pluck: return "pluck";
    case Instrument::Pad: return "pad";
    case Instrument::Bell: return "bell";
    case Instrument::Count: break;
  }
  return "?";
}

int64_t NoteStartFrame(const Note& note) {
  return static_cast<int64_t>(std::floor(note.start * kSampleRate + 0.5));
}

void Voice::Start(const Note& note) {
  note_ = note;
  t_ = 0;
  gateFrames_ = std::max<int64_t>(1, static_cast<int64_t>(std::floor(note.length * kSampleRate + 0.5)));
  endFrames_ = 0;
  done_ = false;
  amp_ = Adsr{};
  noise_ = Prng(0x5EED0000ull + note.seed * 0x9E3779B9ull);
  const double angle = (std::clamp(static_cast<double>(note.pan), -1.0, 1.0) + 1.0) * std::numbers::pi / 4.0;
  gainL_ = static_cast<float>(std::cos(angle) * std::sqrt(2.0) * note.velocity);
  gainR_ = static_cast<float>(std::sin(angle) * std::sqrt(2.0) * note.velocity);
  for (SawOsc& s : saw_) s.phase = noise_.Unit();
  pulse_.phase = 0.0;
  for (SineOsc& s : sine_) s.phase = 0.0;
  phase_ = phase2_ = phase3_ = 0.0;
  hz_ = NoteToHz(note.slideFrom > 0.0f ? note.slideFrom : note.pitch);
  fenv_ = 1.0f;
  fenvCoef_ = 1.0f;
  for (int ch = 0; ch < 2; ++ch) {
    filter_[ch] = Svf{};
    filter2_[ch] = Svf{};
  }
  for (int i = 0; i < 6; ++i) hatPhase_[i] = static_cast<float>(noise_.Unit());
  last_ = 0.0f;
  const float tone = note.tone;

  switch (note.instrument) {
    case Instrument::Kick:
      endFrames_ = SilentAfter(0.15 + 0.05 * tone);
      break;
    case Instrument::Snare:
      filter_[0].Set(1400.0, 0.7);
      filter2_[0].Set(9000.0, 0.7);
      endFrames_ = SilentAfter(0.08 + 0.08 * tone);
      break;
    case Instrument::Clap:
      filter_[0].Set(1150.0, 1.8);
      filter2_[0].Set(2400.0, 0.7);
      endFrames_ = static_cast<int64_t>(0.031 * kSampleRate) + SilentAfter(0.09 + 0.1 * tone);
      break;
    case Instrument::ClosedHat:
    case Instrument::OpenHat:
      filter_[0].Set(6500.0, 0.8);
      filter2_[0].Set(3500.0, 0.7);
      endFrames_ = SilentAfter(note.instrument == Instrument::ClosedHat ? 0.025 + 0.03 * tone
                                                                        : 0.2 + 0.2 * tone);
      break;
    case Instrument::Crash:
      for (int ch = 0; ch < 2; ++ch) {
        filter_[ch].Set(3200.0, 0.7);
        filter2_[ch].Set(11000.0, 0.7);
      }
      endFrames_ = SilentAfter(0.7 + 0.8 * tone);
      break;
    case Instrument::Riser:
      endFrames_ = gateFrames_ + SilentAfter(0.03);
      break;
    case Instrument::Bass:
      amp_.Start(0.003, 0.25, 0.85, 0.03);
      fenvCoef_ = DecayCoef(0.15);
      break;
    case Instrument::Acid:
      amp_.Start(0.002, 0.12, 0.9, 0.012);
      fenvCoef_ = DecayCoef(0.1);
      break;
    case Instrument::Lead:
      amp_.Start(0.006, 0.4, 0.75, 0.12);
      fenvCoef_ = DecayCoef(0.25);
      break;
    case Instrument::Pluck:
      amp_.Start(0.002, 0.22, 0.0, 0.05);
      fenvCoef_ = DecayCoef(0.08);
      break;
    case Instrument::Pad:
      amp_.Start(0.45, 1.5, 0.8, 0.4);
      break;
    case Instrument::Bell:
      amp_.Start(0.002, 1.6, 0.0, 0.3);
      fenvCoef_ = DecayCoef(0.35);
      break;
    case Instrument::Count:
      done_ = true;
      break;
  }
}

double Voice::PitchHz(double vibratoDepth) const {
  double pitch = note_.pitch;
  const double seconds = static_cast<double>(t_) / kSampleRate;
  if (note_.slideFrom > 0.0f && seconds < kGlideSeconds) {
    pitch = note_.slideFrom + (note_.pitch - note_.slideFrom) * (seconds / kGlideSeconds);
  }
  if (vibratoDepth > 0.0) {
    // Vibrato fades in between 0.25 and 0.6 s into the note, at 5.6 Hz.
    const double fade = std::clamp((seconds - 0.25) / 0.35, 0.0, 1.0);
    pitch += vibratoDepth * fade * SineTurns(5.6 * seconds);
  }
  return NoteToHz(pitch);
}

void Voice::CheckGate() {
  if (t_ == gateFrames_) amp_.Release();
}

bool Voice::Render(float* left, float* right, int frames) {
  if (done_) return false;
  switch (note_.instrument) {
    case Instrument::Kick: RenderKick(left, right, frames); break;
    case Instrument::Snare: RenderSnare(left, right, frames); break;
    case Instrument::Clap: RenderClap(left, right, frames); break;
    case Instrument::ClosedHat:
    case Instrument::OpenHat: RenderHat(left, right, frames); break;
    case Instrument::Crash: RenderCrash(left, right, frames); break;
    case Instrument::Riser: RenderRiser(left, right, frames); break;
    case Instrument::Bass: RenderBass(left, right, frames); break;
    case Instrument::Acid: RenderAcid(left, right, frames); break;
    case Instrument::Lead: RenderLead(left, right, frames); break;
    case Instrument::Pluck: RenderPluck(left, right, frames); break;
    case Instrument::Pad: RenderPad(left, right, frames); break;
    case Instrument::Bell: RenderBell(left, right, frames); break;
    case Instrument::Count: done_ = true; break;
  }
  if (endFrames_ > 0 && t_ >= endFrames_) done_ = true;
  if (endFrames_ == 0 && amp_.Done()) done_ = true;
  return !done_;
}

void Voice::RenderKick(float* left, float* right, int frames) {
  const float ampCoef = DecayCoef(0.15 + 0.05 * note_.tone);
  const float sweepCoef = DecayCoef(0.045);
  const double thumpCoef = std::exp(-1.0 / (0.005 * kSampleRate));
  const double clickCoef = std::exp(-1.0 / (0.0015 * kSampleRate));
  if (t_ == 0) {
    fenv_ = 1.0f;   // amplitude decay
    last_ = 1.0f;   // pitch sweep, 186 Hz falling to 46 Hz
    phase2_ = 1.0;  // the first few milliseconds' extra pitch (the thump)
    phase3_ = 1.0;  // noise click of the beater
  }
  const float drive = 1.6f;
  const float norm = 1.0f / std::tanh(drive);
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    const double hz = 46.0 + 140.0 * last_ + 420.0 * phase2_ * phase2_;
    const float body = SineTurns(phase_) * fenv_ * Ramp(t_, 0.0006);
    phase_ += hz / kSampleRate;
    if (phase_ >= 1.0) phase_ -= 1.0;
    const float click = noise_.Bipolar() * static_cast<float>(phase3_) * 0.15f * Ramp(t_, 0.0002);
    const float v = std::tanh(drive * body) * norm + click;
    fenv_ *= ampCoef;
    last_ *= sweepCoef;
    phase2_ *= thumpCoef;
    phase3_ *= clickCoef;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderSnare(float* left, float* right, int frames) {
  const float toneCoef1 = DecayCoef(0.06);
  const float toneCoef2 = DecayCoef(0.035);
  const float noiseCoef = DecayCoef(0.08 + 0.08 * note_.tone);
  const float bendCoef = DecayCoef(0.012);
  if (t_ == 0) {
    fenv_ = 1.0f;   // tone 1
    last_ = 1.0f;   // tone 2
    phase3_ = 1.0;  // noise
    hz_ = 1.0;      // pitch bend
  }
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    const double hz1 = 185.0 * (1.0 + 0.4 * hz_);
    const float tones = SineTurns(phase_) * fenv_ + 0.5f * SineTurns(phase2_) * last_;
    phase_ += hz1 / kSampleRate;
    phase2_ += 330.0 / kSampleRate;
    if (phase_ >= 1.0) phase_ -= 1.0;
    if (phase2_ >= 1.0) phase2_ -= 1.0;
    const float n = filter2_[0].Process(filter_[0].Process(noise_.Bipolar()).high).low;
    const float v = (0.55f * tones + 0.9f * n * static_cast<float>(phase3_)) * Ramp(t_, 0.0005);
    fenv_ *= toneCoef1;
    last_ *= toneCoef2;
    phase3_ *= noiseCoef;
    hz_ *= bendCoef;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderClap(float* left, float* right, int frames) {
  const double tailTau = 0.09 + 0.1 * note_.tone;
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    const double s = static_cast<double>(t_) / kSampleRate;
    double env = 0.0;
    for (int b = 0; b < 3; ++b) {
      const double tb = s - 0.011 * b;
      if (tb >= 0.0) env = std::max(env, std::min(1.0, tb / 0.0003) * std::exp(-tb / 0.005));
    }
    const double tt = s - 0.031;
    if (tt >= 0.0) env = std::max(env, 0.8 * std::min(1.0, tt / 0.001) * std::exp(-tt / tailTau));
    const Svf::Out o = filter_[0].Process(noise_.Bipolar());
    const float shaped = filter2_[0].Process(o.band * filter_[0].k).low;
    const float v = 1.6f * shaped * static_cast<float>(env);
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderHat(float* left, float* right, int frames) {
  const bool open = note_.instrument == Instrument::OpenHat;
  const float coef = DecayCoef(open ? 0.2 + 0.2 * note_.tone : 0.025 + 0.03 * note_.tone);
  if (t_ == 0) fenv_ = 1.0f;
  float step[6];
  for (int p = 0; p < 6; ++p) step[p] = static_cast<float>(kHatPartials[p] * 1.9 / kSampleRate);
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    float metal = 0.0f;
    for (int p = 0; p < 6; ++p) {
      metal += hatPhase_[p] < 0.5f ? 1.0f : -1.0f;
      hatPhase_[p] += step[p];
      if (hatPhase_[p] >= 1.0f) hatPhase_[p] -= 1.0f;
    }
    const float src = metal * (1.0f / 6.0f) * 0.6f + noise_.Bipolar() * 0.7f;
    const float hp = filter_[0].Process(src).high;
    const float v = filter2_[0].Process(hp).high * fenv_ * Ramp(t_, 0.0003);
    fenv_ *= coef;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderCrash(float* left, float* right, int frames) {
  const float coef = DecayCoef(0.7 + 0.8 * note_.tone);
  if (t_ == 0) fenv_ = 1.0f;
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    const float env = fenv_ * Ramp(t_, 0.0008);
    const float l = filter2_[0].Process(filter_[0].Process(noise_.Bipolar()).high).low;
    const float r = filter2_[1].Process(filter_[1].Process(noise_.Bipolar()).high).low;
    fenv_ *= coef;
    left[i] += l * env * gainL_;
    right[i] += r * env * gainR_;
  }
}

void Voice::RenderRiser(float* left, float* right, int frames) {
  const float releaseCoef = DecayCoef(0.03);
  for (int i = 0; i < frames && t_ < endFrames_; ++i, ++t_) {
    float env;
    if (t_ < gateFrames_) {
      const double p = static_cast<double>(t_) / static_cast<double>(gateFrames_);
      if (t_ % kControlFrames == 0) {
        const double hz = 250.0 * std::pow(40.0, p);  // 250 Hz .. 10 kHz
        filter_[0].Set(hz, 2.0);
        filter_[1].Set(hz * 1.07, 2.0);
      }
      env = static_cast<float>(p * p);
      last_ = env;
    } else {
      last_ *= releaseCoef;
      env = last_;
    }
    const float l = filter_[0].Process(noise_.Bipolar()).band * filter_[0].k;
    const float r = filter_[1].Process(noise_.Bipolar()).band * filter_[1].k;
    left[i] += l * env * gainL_;
    right[i] += r * env * gainR_;
  }
}

void Voice::RenderBass(float* left, float* right, int frames) {
  const double tone = note_.tone;
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    if (t_ % kControlFrames == 0) {
      hz_ = PitchHz(0.0);
      const double cutoff = 90.0 + (250.0 + 3000.0 * tone) * (0.3 + 0.7 * fenv_) * (0.6 + 0.4 * note_.velocity);
      filter_[0].Set(cutoff, 1.1);
    }
    const float osc = 0.6f * saw_[0].Next(hz_);
    const float sub = sine_[0].Next(hz_ * 0.5);
    const float v = (filter_[0].Process(osc).low + 0.6f * sub) * amp_.Next();
    fenv_ *= fenvCoef_;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderAcid(float* left, float* right, int frames) {
  const double tone = note_.tone;
  const float accent = note_.velocity > 0.85f ? 1.0f : 0.35f;
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    if (t_ % kControlFrames == 0) {
      hz_ = PitchHz(0.0);
      // The wobble: one cycle per beat (0.5 s) of the track's time.
      const double songTime = note_.start + static_cast<double>(t_) / kSampleRate;
      const double wobble = 0.5 + 0.5 * SineTurns(songTime * 2.0 - 0.25);
      const double base = 160.0 + 2400.0 * tone * (0.3 + 0.7 * wobble);
      filter_[0].Set(base * (1.0 + 3.0 * accent * fenv_), 5.5);
    }
    const float osc = saw_[0].Next(hz_);
    const float low = filter_[0].Process(osc).low;
    const float v = std::tanh(1.8f * low) * 0.7f * amp_.Next();
    fenv_ *= fenvCoef_;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderLead(float* left, float* right, int frames) {
  const double tone = note_.tone;
  const double detune = std::pow(2.0, 0.07 / 12.0);
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    if (t_ % kControlFrames == 0) {
      hz_ = PitchHz(0.15);
      const double cutoff = 500.0 + (1200.0 + 5000.0 * tone) * (0.55 + 0.45 * fenv_);
      filter_[0].Set(cutoff, 0.9);
      filter_[1].Set(cutoff, 0.9);
    }
    const float a = saw_[0].Next(hz_ * detune);
    const float b = saw_[1].Next(hz_ / detune);
    const float sub = 0.35f * pulse_.Next(hz_ * 0.5, 0.5);
    const float env = amp_.Next();
    const float l = filter_[0].Process(a + 0.5f * b + sub).low * env;
    const float r = filter_[1].Process(b + 0.5f * a + sub).low * env;
    fenv_ *= fenvCoef_;
    left[i] += 0.6f * l * gainL_;
    right[i] += 0.6f * r * gainR_;
  }
}

void Voice::RenderPluck(float* left, float* right, int frames) {
  const double tone = note_.tone;
  const double hz = NoteToHz(note_.pitch);
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    if (t_ % kControlFrames == 0) {
      filter_[0].Set(250.0 + (800.0 + 6000.0 * tone) * fenv_, 1.4);
    }
    const float osc = pulse_.Next(hz, 0.3) + 0.3f * saw_[0].Next(hz * 1.003);
    const float v = filter_[0].Process(osc).low * amp_.Next() * 0.8f;
    fenv_ *= fenvCoef_;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

void Voice::RenderPad(float* left, float* right, int frames) {
  const double tone = note_.tone;
  const double hz = NoteToHz(note_.pitch);
  const double hzs[3] = {hz * std::pow(2.0, -0.11 / 12.0), hz * std::pow(2.0, 0.02 / 12.0),
                         hz * std::pow(2.0, 0.12 / 12.0)};
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    if (t_ % kControlFrames == 0) {
      const double songTime = note_.start + static_cast<double>(t_) / kSampleRate;
      const double drift = 1.0 + 0.25 * SineTurns(0.13 * songTime);
      const double cutoff = (400.0 + 2600.0 * tone) * drift;
      filter_[0].Set(cutoff, 0.8);
      filter_[1].Set(cutoff * 1.05, 0.8);
    }
    const float a = saw_[0].Next(hzs[0]);
    const float b = saw_[1].Next(hzs[1]);
    const float c = saw_[2].Next(hzs[2]);
    const float env = amp_.Next() * 0.45f;
    const float l = filter_[0].Process(a + 0.6f * b + 0.2f * c).low * env;
    const float r = filter_[1].Process(c + 0.6f * b + 0.2f * a).low * env;
    left[i] += l * gainL_;
    right[i] += r * gainR_;
  }
}

void Voice::RenderBell(float* left, float* right, int frames) {
  const double hz = NoteToHz(note_.pitch);
  const double depth = 0.15 + 0.25 * note_.tone;  // modulation index in turns
  const float tineCoef = DecayCoef(0.06);
  if (t_ == 0) last_ = 1.0f;
  for (int i = 0; i < frames; ++i, ++t_) {
    CheckGate();
    const float mod = SineTurns(phase2_);
    const double index = 0.05 + depth * fenv_;
    const float body = SineTurns(phase_ + index * mod);
    const float tine = 0.18f * SineTurns(phase3_) * last_;
    phase_ += hz / kSampleRate;
    phase2_ += hz / kSampleRate;
    phase3_ += 4.0 * hz / kSampleRate;
    if (phase_ >= 1.0) phase_ -= 1.0;
    if (phase2_ >= 1.0) phase2_ -= 1.0;
    if (phase3_ >= 1.0) phase3_ -= 1.0;
    const float v = (body + tine) * amp_.Next() * 0.7f;
    fenv_ *= fenvCoef_;
    last_ *= tineCoef;
    left[i] += v * gainL_;
    right[i] += v * gainR_;
  }
}

}  // namespace music
