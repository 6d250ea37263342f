#include "tools/music/track.h"

#include <algorithm>
#include <cmath>

namespace music {

namespace {

// Mixing block in frames; automation is read once per block.
constexpr int kBlock = 64;

// The mix of one instrument's bus: linear level, the share sent to the echo
// and to the reverb, and how deep the kick ducks it (0..1).
struct BusMix {
  float level;
  float echoSend;
  float reverbSend;
  float duck;
};

constexpr BusMix kMix[kInstrumentCount] = {
    {0.38f, 0.00f, 0.02f, 0.00f},  // kick
    {0.50f, 0.04f, 0.22f, 0.00f},  // snare
    {0.60f, 0.00f, 0.20f, 0.00f},  // clap
    {0.50f, 0.00f, 0.05f, 0.20f},  // closed hat
    {0.35f, 0.00f, 0.08f, 0.35f},  // open hat
    {0.20f, 0.00f, 0.12f, 0.00f},  // crash
    {0.15f, 0.10f, 0.25f, 0.00f},  // riser
    {0.27f, 0.00f, 0.00f, 0.55f},  // bass
    {0.26f, 0.10f, 0.05f, 0.35f},  // acid
    {0.26f, 0.22f, 0.18f, 0.15f},  // lead
    {0.24f, 0.30f, 0.14f, 0.35f},  // pluck
    {0.13f, 0.00f, 0.30f, 0.55f},  // pad
    {0.26f, 0.28f, 0.30f, 0.15f},  // bell
};

constexpr float kEchoReturn = 0.55f;
constexpr float kReverbReturn = 0.9f;
constexpr float kReverbDuck = 0.3f;
constexpr float kMasterLevel = 0.87f;

// Limiter: 3 ms look-ahead, 120 ms recovery.
constexpr int kLookahead = 132;
constexpr double kLimiterRelease = 0.12;

// The kick's duck on the other buses, 0..1, `seconds` after a kick: down
// within 4 ms (no click), back up with a 90 ms time constant.
float DuckShape(double seconds) {
  if (seconds < 0.004) {
    const double x = seconds / 0.004;
    return static_cast<float>(x * x * (3.0 - 2.0 * x));
  }
  return static_cast<float>(std::exp(-(seconds - 0.004) / 0.09));
}

}  // namespace

struct TrackRenderer::State {
  const Score* score = nullptr;
  size_t nextNote = 0;
  std::vector<Voice> voices;
  std::vector<int> voiceBus;
  int64_t mixPos = 0;  // first frame of the next mix block
  float busL[kInstrumentCount][kBlock];
  float busR[kInstrumentCount][kBlock];
  Svf busFilter[kInstrumentCount][2];
  float duck[kBlock];
  int64_t lastKick = -1;  // start frame of the latest kick so far, -1 = none
  float lastKickWeight = 0.0f;
  size_t nextKick = 0;
  std::vector<Note> kicks;
  PingPongDelay echo;
  Reverb reverb;
  DcBlocker dcL, dcR;
  Limiter limiter;
  int64_t latencyLeft = kLookahead - 1;  // limiter outputs still to drop
  std::vector<float> fifo;                // delivered-to-be frames, interleaved
  size_t fifoRead = 0;
  int64_t delivered = 0;

  void MixBlock();
};

void TrackRenderer::State::MixBlock() {
  for (int b = 0; b < kInstrumentCount; ++b) {
    std::fill(busL[b], busL[b] + kBlock, 0.0f);
    std::fill(busR[b], busR[b] + kBlock, 0.0f);
  }

  // Voices already sounding, then the notes that start in this block.
  size_t kept = 0;
  for (size_t i = 0; i < voices.size(); ++i) {
    const int b = voiceBus[i];
    if (voices[i].Render(busL[b], busR[b], kBlock)) {
      if (kept != i) {
        voices[kept] = voices[i];
        voiceBus[kept] = b;
      }
      ++kept;
    }
  }
  voices.resize(kept);
  voiceBus.resize(kept);
  const std::vector<Note>& notes = score->notes;
  while (nextNote < notes.size() && NoteStartFrame(notes[nextNote]) < mixPos + kBlock) {
    const Note& note = notes[nextNote++];
    const int64_t offset = std::max<int64_t>(0, NoteStartFrame(note) - mixPos);
    const int b = static_cast<int>(note.instrument);
    Voice v;
    v.Start(note);
    if (v.Render(busL[b] + offset, busR[b] + offset, kBlock - static_cast<int>(offset))) {
      voices.push_back(v);
      voiceBus.push_back(b);
    }
  }

  // The side-chain: each kick ducks the buses for a moment.
  for (int i = 0; i < kBlock; ++i) {
    const int64_t frame = mixPos + i;
    while (nextKick < kicks.size() && NoteStartFrame(kicks[nextKick]) <= frame) {
      lastKick = NoteStartFrame(kicks[nextKick]);
      lastKickWeight = std::min(1.0f, kicks[nextKick].velocity / 0.8f);
      ++nextKick;
    }
    duck[i] = lastKick < 0 ? 0.0f
                           : lastKickWeight * DuckShape(static_cast<double>(frame - lastKick) / kSampleRate);
  }

  float dryL[kBlock] = {};
  float dryR[kBlock] = {};
  float echoIn[kBlock] = {};
  float reverbIn[kBlock] = {};
  const double t0 = static_cast<double>(mixPos) / kSampleRate;
  const double t1 = static_cast<double>(mixPos + kBlock) / kSampleRate;
  for (int b = 0; b < kInstrumentCount; ++b) {
    const BusMix& mix = kMix[b];
    const float g0 = static_cast<float>(mix.level * score->busGain[b].At(t0));
    const float g1 = static_cast<float>(mix.level * score->busGain[b].At(t1));
    const Curve& lowpass = score->busLowpass[b];
    const bool filtered = !lowpass.points.empty();
    if (filtered) {
      const double cutoff = lowpass.At(0.5 * (t0 + t1));
      busFilter[b][0].Set(cutoff, 0.707);
      busFilter[b][1].Set(cutoff, 0.707);
    }
    for (int i = 0; i < kBlock; ++i) {
      float l = busL[b][i];
      float r = busR[b][i];
      if (filtered) {
        l = busFilter[b][0].Process(l).low;
        r = busFilter[b][1].Process(r).low;
      }
      const float gain = (g0 + (g1 - g0) * (static_cast<float>(i) / kBlock)) * (1.0f - mix.duck * duck[i]);
      l *= gain;
      r *= gain;
      dryL[i] += l;
      dryR[i] += r;
      const float mono = 0.5f * (l + r);
      echoIn[i] += mono * mix.echoSend;
      reverbIn[i] += mono * mix.reverbSend;
    }
  }

  const double m0 = score->masterGain.At(t0);
  const double m1 = score->masterGain.At(t1);
  for (int i = 0; i < kBlock; ++i) {
    float el, er, rl, rr;
    echo.Process(echoIn[i], el, er);
    reverb.Process(reverbIn[i], rl, rr);
    const float wet = kReverbReturn * (1.0f - kReverbDuck * duck[i]);
    float l = dryL[i] + kEchoReturn * el + wet * rl;
    float r = dryR[i] + kEchoReturn * er + wet * rr;
    const float master = kMasterLevel * static_cast<float>(m0 + (m1 - m0) * (static_cast<double>(i) / kBlock));
    l = dcL.Process(l) * master;
    r = dcR.Process(r) * master;
    float outL, outR;
    limiter.Process(l, r, outL, outR);
    if (latencyLeft > 0) {
      --latencyLeft;
      continue;
    }
    fifo.push_back(outL);
    fifo.push_back(outR);
  }
  mixPos += kBlock;
}

TrackRenderer::TrackRenderer(const Score& score) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.score = &score;
  s.voices.reserve(256);
  s.voiceBus.reserve(256);
  for (const Note& n : score.notes) {
    if (n.instrument == Instrument::Kick) s.kicks.push_back(n);
  }
  s.echo.Init(0.375, 0.38, 3200.0);  // a dotted eighth at 120 BPM
  s.reverb.Init(0.86, 0.35);
  s.limiter.Init(kLookahead, kLimiterCeiling, kLimiterRelease);
  s.fifo.reserve(4 * kBlock);
}

TrackRenderer::~TrackRenderer() = default;

void TrackRenderer::Render(float* out, int64_t frames) {
  State& s = *state_;
  while (frames > 0) {
    if (s.fifoRead >= s.fifo.size()) {
      s.fifo.clear();
      s.fifoRead = 0;
      s.MixBlock();
      continue;
    }
    const int64_t available = static_cast<int64_t>((s.fifo.size() - s.fifoRead) / 2);
    const int64_t n = std::min(available, frames);
    if (out != nullptr) {
      std::copy(s.fifo.begin() + static_cast<std::ptrdiff_t>(s.fifoRead),
                s.fifo.begin() + static_cast<std::ptrdiff_t>(s.fifoRead + 2 * n), out);
      out += 2 * n;
    }
    s.fifoRead += static_cast<size_t>(2 * n);
    s.delivered += n;
    frames -= n;
  }
}

void TrackRenderer::Skip(int64_t frames) { Render(nullptr, frames); }

int64_t TrackRenderer::Position() const { return state_->delivered; }

std::vector<float> RenderShowFrames(int64_t first, int64_t count) {
  TrackRenderer renderer;
  renderer.Skip(first);
  std::vector<float> out(static_cast<size_t>(2 * count));
  renderer.Render(out.data(), count);
  return out;
}

}  // namespace music
