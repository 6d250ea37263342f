// The music as a listener hears it: notes that start and end without a
// click; the rendered track without clipping, at its loudness, from silence
// into music, changing at every section, fading to silence; and the same
// samples however it is rendered.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tools/music/dsp.h"
#include "tools/music/loudness.h"
#include "tools/music/track.h"

namespace {

using namespace music;

// The whole track, rendered once per test program run.
const std::vector<float>& WholeTrack() {
  static const std::vector<float> track = RenderShowFrames(0, kTrackFrames);
  return track;
}

size_t Frame(double seconds) { return static_cast<size_t>(std::lround(seconds * kSampleRate)); }

// Level in dB (mean square of both channels) of [from, to) seconds.
double LevelDb(double from, double to) {
  double sum = 0.0;
  for (size_t i = 2 * Frame(from); i < 2 * Frame(to); ++i) sum += std::pow(WholeTrack()[i], 2);
  return 10.0 * std::log10(sum / (2.0 * (Frame(to) - Frame(from))) + 1e-30);
}

// Levels in dB of the mid signal of [from, from + 2 s) in three bands: below
// 150 Hz (kick, bass), 150 Hz..3 kHz (chords, melody), above 3 kHz (hats,
// noise); the synthesiser's Butterworth filters (q 0.707) run in from 0.2 s before.
std::array<double, 3> BandLevels(double from) {
  Svf low, midLow, high;
  low.Set(150.0, 0.707), midLow.Set(3000.0, 0.707), high.Set(3000.0, 0.707);
  std::array<double, 3> sums{};
  for (size_t i = Frame(from - 0.2); i < Frame(from + 2.0); ++i) {
    const float m = 0.5f * (WholeTrack()[2 * i] + WholeTrack()[2 * i + 1]);
    const Svf::Out below = low.Process(m);
    const double bands[3] = {below.low, midLow.Process(below.high).low, high.Process(m).high};
    for (int b = 0; b < 3 && i >= Frame(from); ++b) sums[b] += bands[b] * bands[b];
  }
  for (double& s : sums) s = 10.0 * std::log10(s / Frame(2.0) + 1e-30);
  return sums;
}

TEST(MusicInstruments, NotesStartAndEndWithoutAClick) {
  for (int i = 0; i < kInstrumentCount; ++i) {
    SCOPED_TRACE(InstrumentName(static_cast<Instrument>(i)));
    Note note;  // a 0.5 s A4
    note.start = 10.0, note.length = 0.5, note.instrument = static_cast<Instrument>(i), note.seed = 99;
    Voice voice;
    voice.Start(note);
    std::vector<float> l, r;  // until the voice reports it has died away
    for (bool more = true; more;) {
      ASSERT_LT(l.size(), Frame(20.0)) << "the note never died away";
      l.resize(l.size() + 64, 0.0f), r.resize(r.size() + 64, 0.0f);
      more = voice.Render(l.data() + l.size() - 64, r.data() + r.size() - 64, 64);
    }
    float peak = 0.0f;
    for (size_t k = 0; k < l.size(); ++k) peak = std::max({peak, std::fabs(l[k]), std::fabs(r[k])});
    ASSERT_TRUE(peak > 0.01f && peak < 4.0f) << peak;
    // Every sound fades in over a few samples, and the last millisecond
    // before the voice stops is 40 dB down, so stopping it is inaudible.
    EXPECT_LE(std::max(std::fabs(l[0]), std::fabs(r[0])), 0.05f * peak);
    size_t last = l.size();
    while (last > 0 && l[last - 1] == 0.0f && r[last - 1] == 0.0f) --last;
    for (size_t k = last - std::min<size_t>(last, 44); k < last; ++k)
      EXPECT_LE(std::max(std::fabs(l[k]), std::fabs(r[k])), 0.01f * peak) << k;
  }
}

// The sequencer walks the notes in order of their first sample: an unsorted
// note would be late or lost. Every key is up before the fade reaches
// silence (200.3 s).
TEST(MusicScore, NotesAreSortedAndEndInTime) {
  const std::vector<Note>& notes = ShowScore().notes;
  ASSERT_GT(notes.size(), 1000u);
  for (size_t i = 0; i < notes.size(); ++i)
    EXPECT_TRUE((i == 0 || NoteStartFrame(notes[i - 1]) <= NoteStartFrame(notes[i])) && notes[i].start >= 0.0 &&
                notes[i].length > 0.0 && notes[i].start + notes[i].length <= 200.3) << "note " << i;
}

TEST(ShowTrack, NoClippingNoDcAndItsLoudness) {
  const std::vector<float>& track = WholeTrack();
  double peak = 0.0, sum[2] = {0.0, 0.0};
  for (size_t i = 0; i < track.size(); ++i) {
    ASSERT_TRUE(std::isfinite(track[i])) << i / 2;
    peak = std::max(peak, std::fabs(static_cast<double>(track[i])));
    sum[i % 2] += track[i];
  }
  EXPECT_LE(20.0 * std::log10(peak), -1.0);  // at or below -1 dBFS
  EXPECT_LT(std::max(std::fabs(sum[0]), std::fabs(sum[1])) / kTrackFrames, 1e-4);  // DC below -80 dBFS
  LoudnessMeter meter(kSampleRate);
  meter.Add(track.data(), kTrackFrames);
  EXPECT_TRUE(meter.IntegratedLufs() >= -16.0 && meter.IntegratedLufs() <= -12.0) << meter.IntegratedLufs();
}

TEST(ShowTrack, BuildsOutOfSilenceChangesAtEachSectionAndFadesOut) {
  EXPECT_LT(std::max(std::fabs(WholeTrack()[0]), std::fabs(WholeTrack()[1])), 1e-4f);
  EXPECT_LT(LevelDb(0.0, 0.05), -60.0);
  // Every stretch of the intro louder than the one before; by its end the
  // music is at full strength.
  const double a = LevelDb(0.0, 1.0), b = LevelDb(3.0, 4.0), c = LevelDb(7.0, 8.0), d = LevelDb(12.0, 13.0);
  EXPECT_TRUE(a < b - 3.0 && b < c - 3.0 && c < d - 3.0) << a << " " << b << " " << c << " " << d;
  EXPECT_GT(d, LevelDb(16.0, 20.0) - 3.0);
  // A bar either side of each section's first bar: some band changes by 3 dB.
  for (int s = 1; s < kSectionCount; ++s) {
    const double t = kSectionStartBars[s] * kBarSeconds;
    const std::array<double, 3> before = BandLevels(t - 2.0), after = BandLevels(t);
    const double change = std::max({std::fabs(after[0] - before[0]), std::fabs(after[1] - before[1]),
                                     std::fabs(after[2] - before[2])});
    EXPECT_GE(change, 3.0) << "at " << t << " s";
  }
  // The quiet sections (glow, the liquid breakdown) sit below the loud ones
  // (wobbler, twister); the twister is the climax.
  const double glow = LevelDb(46.0, 66.0), wobbler = LevelDb(74.0, 94.0);
  const double liquid = LevelDb(130.0, 146.0), twister = LevelDb(160.0, 180.0);
  EXPECT_TRUE(glow < wobbler - 1.0 && liquid < wobbler - 3.0 && twister >= wobbler)
      << glow << " " << wobbler << " " << liquid << " " << twister;
  // The ending winds down from the climax, then every second from 195 s is
  // quieter than the one before, down to near silence and then a clean zero.
  const double ending = LevelDb(188.0, 190.0);
  EXPECT_TRUE(LevelDb(170.0, 180.0) > ending + 1.0 && LevelDb(196.0, 198.0) < ending - 6.0) << ending;
  for (double t = 196.0; t < 200.0; t += 1.0) EXPECT_LT(LevelDb(t, t + 1.0), LevelDb(t - 1.0, t) - 1.0) << t;
  EXPECT_LT(LevelDb(199.75, 200.25), -45.0);
  for (size_t i = 2 * Frame(200.26); i < WholeTrack().size(); ++i) ASSERT_EQ(WholeTrack()[i], 0.0f) << i / 2;
}

// The same samples on every run: from a fresh start twice, and as part of a
// longer render (a stretch across the intro/tunnel boundary).
TEST(ShowTrack, RenderingIsDeterministic) {
  const int64_t first = Frame(12.0), count = Frame(4.0);
  const std::vector<float> a = RenderShowFrames(first, count), longer = RenderShowFrames(0, first + count);
  EXPECT_TRUE(a == RenderShowFrames(first, count));
  EXPECT_TRUE(std::equal(a.begin(), a.end(), longer.begin() + 2 * first));
}

}  // namespace
