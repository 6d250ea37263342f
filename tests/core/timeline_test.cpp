#include <gtest/gtest.h>

#include <vector>

#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/test_bitmaps.h"

namespace {

int gDestroyed = 0;

// Writes one word everywhere and remembers where it was asked to draw.
class FillEffect final : public Effect {
 public:
  FillEffect(uint32_t start, uint32_t end, Cell word) : Effect("Fill", start, end), word_(word) {}
  ~FillEffect() override { ++gDestroyed; }
  void Render() override {
    ++renders;
    lastTarget = target;
    for (int i = 0; i < kScreenCells; ++i) target[i] = word_;
  }
  int renders = 0;
  Cell* lastTarget = nullptr;

 private:
  Cell word_;
};

// Timeline with hand-made effects and a finisher whose effect is easy to see:
// no grain, and a vignette that scales every own level by vignette / 255.
class TimelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen = TextScreen::Get();
    timeline = Timeline::Get();
    FrameFinisher::Destroy(timeline->finisher);
    timeline->finisher = new FrameFinisher;
    timeline->finisher->crud = MakeFilledBitmap(80, 50, 0);
    timeline->finisher->vignette = MakeFilledBitmap(80, 50, 255);
    gDestroyed = 0;
  }
  void TearDown() override {
    TearDownShow();
    ResourceTable::Release();
    TextScreen::Release();
  }
  FillEffect* Add(uint32_t start, uint32_t end, Cell word) {
    FillEffect* e = new FillEffect(start, end, word);
    timeline->effects->push_back(e);
    return e;
  }
  void HalveOwnLevels() {
    for (int i = 0; i < kScreenCells; ++i) timeline->finisher->vignette->pixels[i] = 128;
  }

  TextScreen* screen = nullptr;
  Timeline* timeline = nullptr;
};

const Cell kLogoWord = MakeRampCell(230, 40, 50);
const Cell kSkullWord = MakeRampCell(100, 80, 20);

TEST_F(TimelineTest, SingleEffectDrawsIntoTheScreenAndIsFinished) {
  FillEffect* logo = Add(0, 3000, kLogoWord);
  Add(1000, 15000, kSkullWord);
  HalveOwnLevels();
  RenderFrame(0);
  EXPECT_EQ(logo->lastTarget, screen->cells);
  EXPECT_FALSE(timeline->blending);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], CellWithLevel(kLogoWord, 20));
}

TEST_F(TimelineTest, CrossFadeAtTheEdgesOfTheOverlap) {
  FillEffect* logo = Add(0, 3000, kLogoWord);
  FillEffect* skull = Add(1000, 15000, kSkullWord);

  RenderFrame(1000);
  EXPECT_TRUE(timeline->blending);
  EXPECT_EQ(timeline->blendFactor, 0.0f);
  EXPECT_EQ(logo->lastTarget, screen->mainCells);
  EXPECT_EQ(skull->lastTarget, screen->workCells);
  // Always kind 1, saturation 100, the earlier effect's hue, the blended level.
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], MakeRampCell(230, 40, 100));

  RenderFrame(2000);
  EXPECT_EQ(timeline->blendFactor, 0.5f);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], MakeRampCell(230, 60, 100));

  RenderFrame(3000);
  EXPECT_EQ(timeline->blendFactor, 1.0f);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], MakeRampCell(230, 80, 100));

  RenderFrame(3001);
  EXPECT_FALSE(timeline->blending);
  EXPECT_EQ(logo->renders, 3);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], kSkullWord);
}

TEST_F(TimelineTest, BlendTruncatesTowardZero) {
  Add(0, 3000, MakeRampCell(230, 0, 100));
  Add(1000, 15000, MakeRampCell(230, 79, 100));
  RenderFrame(1999);   // f = 999 / 2000: 79 x 0.4995 = 39.46
  EXPECT_EQ(CellLevel(screen->cells[123]), 39u);
}

TEST_F(TimelineTest, NoActiveEffectShowsDarkRedUnfinished) {
  Add(187000, 200000, kLogoWord);
  HalveOwnLevels();
  RenderFrame(200000);
  EXPECT_EQ(screen->cells[0], CellWithLevel(kLogoWord, 20));
  for (uint32_t t : {200001u, 0xFFFFFFFFu, 186999u}) {
    RenderFrame(t);
    for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], kCellNoEffect) << t;
  }
}

TEST_F(TimelineTest, EmptyProgrammeShowsDarkRed) {
  RenderFrame(5000);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], kCellNoEffect);
}

TEST_F(TimelineTest, ThreeActiveEffectsBlendFirstWithLast) {
  FillEffect* a = Add(0, 10000, MakeRampCell(10, 10, 100));
  FillEffect* middle = Add(0, 10000, MakeRampCell(20, 20, 100));
  FillEffect* c = Add(5000, 10000, MakeRampCell(30, 30, 100));
  RenderFrame(5000);
  EXPECT_EQ(middle->renders, 0);
  EXPECT_EQ(a->lastTarget, screen->mainCells);
  EXPECT_EQ(c->lastTarget, screen->workCells);
  EXPECT_EQ(screen->cells[0], MakeRampCell(10, 10, 100));
}

TEST_F(TimelineTest, EqualStartsLetTheLaterEntryLead) {
  FillEffect* first = Add(1000, 5000, MakeRampCell(10, 10, 100));
  FillEffect* second = Add(1000, 4000, MakeRampCell(20, 70, 100));
  RenderFrame(1000);
  EXPECT_EQ(second->lastTarget, screen->mainCells);
  EXPECT_EQ(first->lastTarget, screen->workCells);
  EXPECT_EQ(CellHue(screen->cells[0]), 20u);
  EXPECT_EQ(CellLevel(screen->cells[0]), 70u);   // factor 0: the leader's level
}

TEST_F(TimelineTest, RenderFramePublishesTheTime) {
  Add(0, 100, kLogoWord);
  RenderFrame(77);
  EXPECT_EQ(DemoClock::Get()->nowMs, 77u);
}

TEST_F(TimelineTest, TearDownSkipsNullSlots) {
  Add(0, 10, kLogoWord);
  timeline->effects->push_back(nullptr);
  Add(20, 30, kLogoWord);
  TearDownShow();
  EXPECT_EQ(gDestroyed, 2);
  // A fresh show for the fixture's own teardown.
  Timeline::Get();
}

// The real programme and data: Logo at the start, Ending at the close.
TEST(ShowProgramme, OpeningAndClosingFrames) {
  TextScreen* screen = TextScreen::Get();
  BuildShow();
  ASSERT_NE(LetterFont::Get(), nullptr);
  EXPECT_EQ(LetterFont::Get()->bitmap->width, 336u);
  EXPECT_EQ(LetterFont::Get()->bitmap->height, 416u);

  RenderFrame(0);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], kCellDark) << i;

  // 1100 ms into the ending: one uniform level 32 before finishing.
  RenderFrame(188100);
  uint32_t brightest = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    ASSERT_EQ(screen->cells[i] & 0xFFFF00FFu, kCellDark & 0xFFFF00FFu);
    ASSERT_LE(CellLevel(screen->cells[i]), 80u);
    brightest = std::max(brightest, CellLevel(screen->cells[i]));
  }
  EXPECT_GE(brightest, 32u);   // the vignette keeps the middle, the glow adds

  RenderFrame(200001);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(screen->cells[i], kCellNoEffect);

  TearDownShow();
  EXPECT_EQ(LetterFont::Get(), nullptr);
  ResourceTable::Release();
  TextScreen::Release();
}

TEST(EffectEnding, LevelCourse) {
  EXPECT_EQ(EffectEnding::LevelAt(0), 55u);
  EXPECT_EQ(EffectEnding::LevelAt(699), 55u);
  EXPECT_EQ(EffectEnding::LevelAt(700), 52u);
  EXPECT_EQ(EffectEnding::LevelAt(1100), 32u);
  EXPECT_EQ(EffectEnding::LevelAt(1749), 2u);
  EXPECT_EQ(EffectEnding::LevelAt(1750), 0u);
  EXPECT_EQ(EffectEnding::LevelAt(13000), 0u);
  EXPECT_EQ(EffectEnding::LevelAt(0xFFFFFFFFu), 0u);
  const uint32_t steps[] = {52, 50, 47, 45, 42, 40, 37, 35, 32, 30, 27,
                            25, 22, 20, 17, 15, 12, 10, 7,  5,  2,  0};
  for (int a = 14; a <= 35; ++a) EXPECT_EQ(EffectEnding::LevelAt(a * 50u), steps[a - 14]) << a;
}

TEST(EffectEnding, FillsTargetWithOneWord) {
  EffectEnding ending("Ending", 187000, 200000);
  std::vector<Cell> cells(kScreenCells, 0xDEADBEEF);
  ending.target = cells.data();
  DemoClock::Get()->nowMs = 187000 + 700;
  ending.Render();
  for (Cell c : cells) ASSERT_EQ(c, 0x01E63464u);   // level 52
  DemoClock::Release();
}

TEST(EffectQuickLogo, AlwaysDark) {
  EffectQuickLogo logo("Logo", 0, 3000);
  std::vector<Cell> cells(kScreenCells, 0xDEADBEEF);
  logo.target = cells.data();
  for (uint32_t t : {0u, 1500u, 3000u, 99999u}) {
    DemoClock::Get()->nowMs = t;
    logo.Render();
    for (Cell c : cells) ASSERT_EQ(c, kCellDark);
  }
  DemoClock::Release();
}

TEST(Effect, NameIsZeroFilledAndLimited) {
  EffectQuickLogo logo("Logo", 0, 3000);
  EXPECT_STREQ(logo.name, "Logo");
  for (int i = 4; i < kEffectNameField; ++i) EXPECT_EQ(logo.name[i], 0);
  EffectQuickLogo longName("0123456789012345678901234567890123456789", 0, 1);
  EXPECT_EQ(std::string(longName.name, kEffectNameField), "01234567890123456789012345678901");
  EXPECT_EQ(logo.frameCount, 0);
  EXPECT_EQ(logo.target, nullptr);
}

TEST(TextScreen, GetReturnsTheSameScreen) {
  TextScreen* a = TextScreen::Get();
  TextScreen* b = TextScreen::Get();
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->camera, b->camera);
  EXPECT_EQ(a->cells, a->mainCells);
  TextScreen::Release();
}

}  // namespace
