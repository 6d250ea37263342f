// The show's programme: which effect plays when, in list order.
#pragma once

#include <cstdint>
#include <span>

class Effect;

struct ProgrammeSlot {
  const char* name;        // label only
  uint32_t startMs;        // window, inclusive at both ends
  uint32_t endMs;
  Effect* (*create)(const ProgrammeSlot& slot);
};

std::span<const ProgrammeSlot> ShowProgramme();
