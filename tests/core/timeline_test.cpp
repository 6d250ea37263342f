// The timeline's rules with effects made here (which effects play, the
// cross-fade, the dark red when none does) and the ending's level course (the
// real programme's opening and closing frames: show_digests_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/test_bitmaps.h"

namespace {

// Writes one word everywhere.
struct FillEffect final : Effect {
  FillEffect(uint32_t start, uint32_t end, Cell w) : Effect("Fill", start, end), word(w) {}
  void Render() override { std::fill_n(target, kScreenCells, word); }
  Cell word;
};

// A programme of fill effects under a finisher without grain whose vignette
// (128) halves every own level: finished level = trunc(level x 128 / 255).
TEST(Timeline, ActiveEffectsAndCrossFades) {
  struct Slot { uint32_t start, end; Cell word; };   // word 0: an empty slot
  const std::vector<Slot> logoSkull = {{0, 3000, MakeRampCell(230, 40, 50)}, {1000, 15000, MakeRampCell(100, 80, 20)}};
  const std::vector<Slot> ending = {{187000, 200000, MakeRampCell(230, 40, 50)}};
  struct Case { std::vector<Slot> slots; uint32_t ms; Cell expected; };
  const Case cases[] = {
      {logoSkull, 0, MakeRampCell(230, 20, 50)},   // alone: as drawn, then finished
      // Blended: kind 1, saturation 100, the earlier effect's hue, the mixed level.
      {logoSkull, 1000, MakeRampCell(230, 20, 100)}, {logoSkull, 2000, MakeRampCell(230, 30, 100)},   // 40, 60
      {logoSkull, 3000, MakeRampCell(230, 40, 100)}, {logoSkull, 3001, MakeRampCell(100, 40, 20)},    // 80; over
      // f = 999 / 2000: 79 x 0.4995 = 39.46, truncated to 39, finished 19.
      {{{0, 3000, MakeRampCell(230, 0, 100)}, {1000, 15000, MakeRampCell(230, 79, 100)}}, 1999,
       MakeRampCell(230, 19, 100)},
      // Of three active effects the first blends with the last; empty slots are passed over.
      {{{0, 10000, MakeRampCell(10, 10, 100)}, {0, 0, 0}, {0, 10000, MakeRampCell(20, 20, 100)},
        {5000, 10000, MakeRampCell(30, 30, 100)}}, 5000, MakeRampCell(10, 5, 100)},
      // Equal starts: the later entry leads (factor 0: its hue and level).
      {{{1000, 5000, MakeRampCell(10, 10, 100)}, {1000, 4000, MakeRampCell(20, 70, 100)}}, 1000,
       MakeRampCell(20, 35, 100)},
      // No active effect: dark red, unfinished; the last ms of a window still plays.
      {{}, 5000, kCellNoEffect},
      {ending, 200000, MakeRampCell(230, 20, 50)}, {ending, 200001, kCellNoEffect}, {ending, 186999, kCellNoEffect},
      {ending, 0xFFFFFFFFu, kCellNoEffect},   // the window's failed clock
  };
  TextScreen* screen = TextScreen::Get();
  Timeline* timeline = Timeline::Get();
  FrameFinisher::Destroy(timeline->finisher);
  timeline->finisher = new FrameFinisher;
  timeline->finisher->crud = MakeFilledBitmap(80, 50, 0);
  timeline->finisher->vignette = MakeFilledBitmap(80, 50, 128);
  std::vector<Effect*>& effects = *timeline->effects;
  for (const Case& c : cases) {
    for (Effect* e : effects) delete e;
    effects.clear();
    for (const Slot& s : c.slots) effects.push_back(s.word ? new FillEffect(s.start, s.end, s.word) : nullptr);
    RenderFrame(c.ms);
    for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], c.expected) << "case " << &c - cases;
  }
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

TEST(EffectEnding, LevelCourse) {
  const std::pair<uint32_t, uint32_t> levels[] = {{0, 55}, {699, 55}, {1749, 2}, {1750, 0}, {13000, 0}, {~0u, 0}};
  for (const auto& [ms, level] : levels) EXPECT_EQ(EffectEnding::LevelAt(ms), level) << ms;
  // From 700 ms: 2.5 levels less every 50 ms, truncated.
  const uint32_t steps[] = {52, 50, 47, 45, 42, 40, 37, 35, 32, 30, 27, 25, 22, 20, 17, 15, 12, 10, 7, 5, 2, 0};
  for (int a = 14; a <= 35; ++a) EXPECT_EQ(EffectEnding::LevelAt(a * 50u), steps[a - 14]) << a;
}

}  // namespace
