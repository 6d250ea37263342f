// Single notes of every instrument (no clicks, right pitch, they end) and the
// score's shape (in range, sorted, sections that differ, a recurring theme).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "tests/music_data/signal_helpers.h"
#include "tools/music/instruments.h"
#include "tools/music/score.h"

namespace {

using namespace music;
using soundtrack_test::BinAmplitude;

struct Rendered {
  std::vector<float> left, right;
  bool ended = false;
};

// Renders one note from its start until the voice reports it has died away
// (at most `maxSeconds`), in blocks of 64 frames.
Rendered RenderNote(const Note& note, double maxSeconds = 20.0) {
  Rendered r;
  Voice voice;
  voice.Start(note);
  const size_t block = 64;
  while (r.left.size() < static_cast<size_t>(maxSeconds * kSampleRate)) {
    const size_t at = r.left.size();
    r.left.resize(at + block, 0.0f);
    r.right.resize(at + block, 0.0f);
    if (!voice.Render(r.left.data() + at, r.right.data() + at, static_cast<int>(block))) {
      r.ended = true;
      break;
    }
  }
  return r;
}

Note MakeNote(Instrument instrument, float pitch = 69.0f, double length = 0.5) {
  Note n;
  n.start = 10.0;
  n.length = length;
  n.instrument = instrument;
  n.pitch = pitch;
  n.velocity = 1.0f;
  n.pan = 0.0f;
  n.tone = 0.5f;
  n.seed = 99;
  return n;
}

// Per instrument: no clicks at either end, the same note gives the same
// samples, and hard left pan leaves the right channel silent.
TEST(MusicInstruments, NotesStartAndEndWithoutAClickRepeatAndPan) {
  for (int i = 0; i < kInstrumentCount; ++i) {
    const Instrument instrument = static_cast<Instrument>(i);
    SCOPED_TRACE(InstrumentName(instrument));
    const Rendered r = RenderNote(MakeNote(instrument));
    ASSERT_TRUE(r.ended) << "the note never died away";
    ASSERT_GT(r.left.size(), 64u);
    float peak = 0.0f;
    for (size_t k = 0; k < r.left.size(); ++k) {
      ASSERT_TRUE(std::isfinite(r.left[k]) && std::isfinite(r.right[k]));
      peak = std::max({peak, std::fabs(r.left[k]), std::fabs(r.right[k])});
    }
    ASSERT_GT(peak, 0.01f) << "silent";
    EXPECT_LT(peak, 4.0f);
    // The first sample is near zero: every sound fades in over at least a
    // few samples.
    EXPECT_LE(std::max(std::fabs(r.left[0]), std::fabs(r.right[0])), 0.05f * peak);
    // The last millisecond before the voice stops is 40 dB down or more, so
    // stopping it is inaudible.
    float tail = 0.0f;
    size_t last = r.left.size();
    while (last > 0 && r.left[last - 1] == 0.0f && r.right[last - 1] == 0.0f) --last;
    for (size_t k = last > 44 ? last - 44 : 0; k < last; ++k) {
      tail = std::max({tail, std::fabs(r.left[k]), std::fabs(r.right[k])});
    }
    EXPECT_LE(tail, 0.01f * peak);

    const Rendered again = RenderNote(MakeNote(instrument));
    EXPECT_TRUE(again.left == r.left && again.right == r.right) << "not deterministic";

    Note panned = MakeNote(instrument);
    panned.pan = -1.0f;
    const Rendered p = RenderNote(panned, 2.0);
    float left = 0.0f, right = 0.0f;
    for (size_t k = 0; k < p.left.size(); ++k) {
      left = std::max(left, std::fabs(p.left[k]));
      right = std::max(right, std::fabs(p.right[k]));
    }
    EXPECT_GT(left, 0.01f);
    EXPECT_LT(right, 1e-6f * left);
  }
}

// Pitched instruments at A4: over 0.02..0.22 s (88 whole periods of 440 Hz)
// 440 Hz is 4x stronger than the semitones either side. The kick after 0.2 s
// has settled near 46 Hz: 50 Hz is 5x stronger than 200 Hz.
TEST(MusicInstruments, InstrumentsSoundTheirPitch) {
  struct Case { Instrument instrument; size_t from, n; double hz, ratio, others[2]; };
  std::vector<Case> cases;
  for (Instrument i : {Instrument::Bass, Instrument::Acid, Instrument::Lead, Instrument::Pluck, Instrument::Pad,
                       Instrument::Bell}) {
    cases.push_back({i, 882, 8820, 440.0, 4.0, {415.3047, 466.1638}});
  }
  cases.push_back({Instrument::Kick, 8820, 4410, 50.0, 5.0, {200.0, 200.0}});
  for (const Case& c : cases) {
    SCOPED_TRACE(InstrumentName(c.instrument));
    const Rendered r = RenderNote(MakeNote(c.instrument, 69.0f, 1.0), 1.0);
    ASSERT_GE(r.left.size(), c.from + c.n);
    const double at = BinAmplitude(r.left.data() + c.from, c.n, c.hz);
    for (double other : c.others) EXPECT_GT(at, c.ratio * BinAmplitude(r.left.data() + c.from, c.n, other));
  }
}

TEST(MusicInstruments, ReleaseFollowsTheKey) {
  // Holding the key a second longer makes the note a second longer for the
  // sustained instruments (keys long enough to reach the sustain level).
  struct Case { Instrument instrument; double key; };
  for (const Case& c : {Case{Instrument::Bass, 1.0}, Case{Instrument::Lead, 1.0}, Case{Instrument::Pad, 6.0}}) {
    SCOPED_TRACE(InstrumentName(c.instrument));
    const Rendered shorter = RenderNote(MakeNote(c.instrument, 60.0f, c.key));
    const Rendered longer = RenderNote(MakeNote(c.instrument, 60.0f, c.key + 1.0));
    ASSERT_TRUE(shorter.ended && longer.ended);
    const double difference = (static_cast<double>(longer.left.size()) - shorter.left.size()) / kSampleRate;
    EXPECT_NEAR(difference, 1.0, 0.01);
  }
}

TEST(MusicScore, NotesAreSortedAndInRange) {
  const Score& score = ShowScore();
  ASSERT_GT(score.notes.size(), 1000u);
  for (size_t i = 0; i < score.notes.size(); ++i) {
    const Note& n = score.notes[i];
    if (i > 0) {
      ASSERT_LE(NoteStartFrame(score.notes[i - 1]), NoteStartFrame(n)) << i;
    }
    // Every key is up before the fade reaches silence (200.3 s).
    EXPECT_TRUE(n.start >= 0.0 && n.length > 0.0 && n.start + n.length <= 200.3 && n.velocity > 0.0f &&
                n.velocity <= 1.0f && n.pan >= -1.0f && n.pan <= 1.0f && n.tone >= 0.0f && n.tone <= 1.0f &&
                n.pitch >= 24.0f && n.pitch <= 108.0f && static_cast<int>(n.instrument) < kInstrumentCount)
        << "note " << i << ": " << InstrumentName(n.instrument) << " at " << n.start;
  }
  EXPECT_EQ(ComposeShowScore().notes.size(), score.notes.size());
}

TEST(MusicScore, EachSectionChangesTheInstrumentation) {
  const Score& score = ShowScore();
  std::vector<std::set<Instrument>> playing(kSectionCount);
  for (const Note& n : score.notes) {
    int section = 0;
    while (section + 1 < kSectionCount && n.start >= kSectionStartBars[section + 1] * kBarSeconds) ++section;
    playing[section].insert(n.instrument);
  }
  for (int s = 0; s < kSectionCount; ++s) {
    EXPECT_GE(playing[s].size(), 4u) << "section " << s;
    if (s > 0) {
      EXPECT_NE(playing[s], playing[s - 1]) << "section " << s;
    }
    // The acid line belongs to the wobbly cube alone.
    EXPECT_EQ(playing[s].count(Instrument::Acid) == 1, s == 4) << s;
  }
}

TEST(MusicScore, TheHookRecursThroughTheTrack) {
  // The theme's hook: E5 D5 C5 B4 C5 on sixteenths 0, 6, 8, 12, 14 of a bar,
  // all on one instrument.
  const int pitches[5] = {76, 74, 72, 71, 72};
  const int steps[5] = {0, 6, 8, 12, 14};
  std::set<std::tuple<int, int64_t, int>> played;  // instrument, start frame, pitch
  for (const Note& n : ShowScore().notes) {
    played.insert({static_cast<int>(n.instrument), NoteStartFrame(n), static_cast<int>(n.pitch)});
  }
  std::set<int> sections;
  for (int bar = 0; bar < 100; ++bar) {
    for (int instrument = 0; instrument < kInstrumentCount; ++instrument) {
      bool all = true;
      for (int k = 0; k < 5 && all; ++k) {
        Note probe;
        probe.start = bar * kBarSeconds + steps[k] * kStepSeconds;
        all = played.count({instrument, NoteStartFrame(probe), pitches[k]}) == 1;
      }
      if (!all) continue;
      int section = 0;
      while (section + 1 < kSectionCount && bar >= kSectionStartBars[section + 1]) ++section;
      sections.insert(section);
    }
  }
  // Everywhere but the glow, which has its own counter-tune.
  EXPECT_EQ(sections, (std::set<int>{0, 1, 3, 4, 5, 6, 7}));
}

}  // namespace
