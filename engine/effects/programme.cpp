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
    {"Skull", 1000, 15000, &Create<EffectSkullLogo>},
    {"Tunnel", 14000, 45000, &Create<EffectTunnel>},
    {"Glow", 44000, 72000, &Create<EffectGlow>},
    {"Wobbler", 71000, 101000, &Create<EffectWobbly>},
    {"Wobbler", 100000, 131000, &Create<EffectWobblyCube>},
    {"Liquid", 130000, 159000, &Create<EffectLiquid>},
    {"Twister", 158000, 188000, &Create<EffectTwister>},
    {"Ending", 187000, 200000, &Create<EffectEnding>},
};

// The cross-fade divides by the overlap of two consecutive windows (both ends
// inclusive): each window must end at least 1 ms after the next one starts.
constexpr bool ConsecutiveWindowsOverlap() {
  for (size_t i = 1; i < std::size(kProgramme); ++i) {
    if (kProgramme[i - 1].endMs < kProgramme[i].startMs + 1) return false;
  }
  return true;
}
static_assert(ConsecutiveWindowsOverlap(), "consecutive programme windows must overlap by at least 1 ms");

}  // namespace

std::span<const ProgrammeSlot> ShowProgramme() { return kProgramme; }
