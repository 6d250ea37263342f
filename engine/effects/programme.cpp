#include "engine/effects/programme.h"

#include "engine/effects/effects.h"

namespace {

template <typename T>
Effect* Create(const ProgrammeSlot& slot) {
  return new T(slot.name, slot.startMs, slot.endMs);
}

// Consecutive windows overlap by 1000 ms (2000 ms for the first change): the
// timeline cross-fades them there.
constexpr ProgrammeSlot kProgramme[] = {
    {"Logo", 0, 3000, &Create<EffectQuickLogo>},
    {"Ending", 187000, 200000, &Create<EffectEnding>},
};

}  // namespace

std::span<const ProgrammeSlot> ShowProgramme() { return kProgramme; }
