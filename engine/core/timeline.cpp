#include "engine/core/timeline.h"

#include <cstring>

#include "engine/core/angle_tables.h"
#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/effects/programme.h"
#include "engine/resources/bitmap.h"

namespace {
DemoClock* gClock = nullptr;
Timeline* gTimeline = nullptr;
}  // namespace

DemoClock* DemoClock::Get() {
  if (gClock == nullptr) gClock = new DemoClock;
  return gClock;
}

void DemoClock::Release() {
  delete gClock;
  gClock = nullptr;
}

Effect::Effect(const char* effectName, uint32_t start, uint32_t end) : startMs(start), endMs(end) {
  // Zero-filled, then at most 32 characters: a full-length name has no terminator.
  std::memset(name, 0, sizeof name);
  std::memcpy(name, effectName, strnlen(effectName, sizeof name));
}

Effect::~Effect() = default;

uint32_t Effect::LocalTimeMs() const { return DemoClock::Get()->nowMs - startMs; }

Timeline* Timeline::Get() {
  if (gTimeline == nullptr) {
    gTimeline = new Timeline;
    gTimeline->effects = new std::vector<Effect*>;
    gTimeline->blendFactor = 0.0f;
    gTimeline->blending = false;
    gTimeline->finisher = FrameFinisher::Create();
  }
  return gTimeline;
}

void Timeline::RenderAt(uint32_t timeMs) {
  TextScreen* screen = TextScreen::Get();
  const uint32_t now = DemoClock::Get()->nowMs;

  // First active effect in list order, and the last active one after it.
  Effect* first = nullptr;
  Effect* second = nullptr;
  for (Effect* effect : *effects) {
    if (effect == nullptr || effect->startMs > now || now > effect->endMs) continue;
    if (first == nullptr) {
      first = effect;
    } else {
      second = effect;
    }
  }

  if (first == nullptr) {
    for (int i = 0; i < kScreenCells; ++i) screen->cells[i] = kCellNoEffect;
    return;
  }

  if (second == nullptr) {
    first->target = screen->cells;
    first->Render();
    blending = false;
  } else {
    // A started earlier and gives the hue; equal starts favour the later entry.
    Effect* a = first->startMs < second->startMs ? first : second;
    Effect* b = a == first ? second : first;
    blending = true;
    blendFactor = (static_cast<float>(timeMs) - static_cast<float>(b->startMs)) /
                  (static_cast<float>(a->endMs) - static_cast<float>(b->startMs));
    a->target = screen->mainCells;
    b->target = screen->workCells;
    a->Render();
    b->Render();

    const float f = blendFactor;
    const float keep = 1.0f - f;
    for (int i = 0; i < kScreenCells; ++i) {
      const Cell ca = screen->mainCells[i];
      const Cell cb = screen->workCells[i];
      const float mixed = static_cast<float>(CellLevel(ca)) * keep + static_cast<float>(CellLevel(cb)) * f;
      const uint32_t level = static_cast<uint32_t>(static_cast<int>(mixed));
      screen->mainCells[i] = MakeRampCell(CellHue(ca), level, kSaturationFull);
    }
  }

  finisher->Apply();
}

void BuildShow() {
  DemoClock::Get();
  Timeline* timeline = Timeline::Get();   // the finisher's images load first
  ClearScreenCells(*TextScreen::Get());
  BuildAngleTables();
  LoadLetterFont();
  for (const ProgrammeSlot& slot : ShowProgramme()) {
    timeline->effects->push_back(slot.create(slot));
  }
}

bool RenderFrame(uint32_t timeMs) {
  DemoClock* clock = DemoClock::Get();
  TextScreen* screen = TextScreen::Get();
  Timeline* timeline = Timeline::Get();
  clock->nowMs = timeMs;
  ClearScreenCells(*screen);
  timeline->RenderAt(timeMs);
  return false;
}

void TearDownShow() {
  DemoClock::Get();
  Timeline* timeline = Timeline::Get();
  for (Effect* effect : *timeline->effects) delete effect;   // null slots are skipped by delete
  timeline->effects->clear();
  timeline->effects->shrink_to_fit();
  delete timeline->effects;
  FrameFinisher::Destroy(timeline->finisher);
  delete timeline;
  gTimeline = nullptr;
  DemoClock::Release();
  ReleaseLetterFont();
}
