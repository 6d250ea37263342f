// The keys of demo_console from the bytes a POSIX terminal sends in raw mode.
#pragma once

#include <cstdint>

#include "engine/core/demo_run.h"

// Terminal input bytes to key records, carried across reads: a lone Escape
// byte is the Escape key (virtual key 27); the Escape that starts a key's
// escape sequence (ESC [ ... final byte, ESC O x, ESC and one byte of 0x20
// or above as Alt sends it) is not, and the sequence's bytes are no keys.
// Every other byte is one key record; a control sequence ending in 'n' is
// counted as a status report. A lone Escape is told from the start
// of a sequence at the next poll: a key's sequence arrives in one piece.
struct ConsoleKeyParser {
  enum class State : uint8_t { Ground, Escape, ControlSequence, SingleShift };
  State state = State::Ground;
  uint32_t statusReports = 0;   // control sequences ending in 'n' seen: the terminal's
                                // answers to the status requests (CSI 5 n) sent to it

  // One input byte; writes 0..2 records to out and returns their count.
  int Feed(uint8_t byte, KeyRecord out[2]);
  // A poll that found no new byte: an Escape still waiting for the rest of a
  // sequence was the Escape key (1 record); an unfinished sequence is dropped.
  int Idle(KeyRecord out[1]);
};

// The key record of a byte typed on its own: the byte as the character;
// virtual key: the upper-case letter for letters, the digit for digits, 27
// Escape, 13 Enter, 9 Tab, 8 Backspace (0x08 and 0x7F), 32 space, else 0.
KeyRecord KeyRecordForByte(uint8_t byte);
