#include "frontends/console/key_parser.h"

KeyRecord KeyRecordForByte(uint8_t byte) {
  uint8_t key = 0;
  if (byte >= 'a' && byte <= 'z') key = static_cast<uint8_t>(byte - 'a' + 'A');
  else if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) key = byte;
  else if (byte == 27) key = 27;
  else if (byte == '\r' || byte == '\n') key = 13;
  else if (byte == '\t') key = 9;
  else if (byte == 0x08 || byte == 0x7F) key = 8;
  else if (byte == ' ') key = 32;
  return KeyRecord{key, byte};
}

int ConsoleKeyParser::Feed(uint8_t byte, KeyRecord out[2]) {
  switch (state) {
    case State::Ground:
      if (byte == 27) {
        state = State::Escape;
        return 0;
      }
      out[0] = KeyRecordForByte(byte);
      return 1;
    case State::Escape:
      if (byte == '[') {
        state = State::ControlSequence;
        return 0;
      }
      if (byte == 'O') {
        state = State::SingleShift;
        return 0;
      }
      if (byte >= 0x20) {
        // Alt and a key (Alt+Backspace sends ESC DEL): one sequence, no key record.
        state = State::Ground;
        return 0;
      }
      // Escape, then a control byte (another Escape, Enter...): two keys.
      out[0] = KeyRecordForByte(27);
      if (byte == 27) return 1;   // the new Escape waits for its own sequence
      state = State::Ground;
      out[1] = KeyRecordForByte(byte);
      return 2;
    case State::ControlSequence:
      // Parameter and intermediate bytes 0x20..0x3F go on, a final byte
      // 0x40..0x7E ends the sequence.
      if (byte >= 0x20 && byte <= 0x3F) return 0;
      if (byte >= 0x40 && byte <= 0x7E) {
        state = State::Ground;
        if (byte == 'n') ++statusReports;
        return 0;
      }
      // Not part of a sequence: drop the unfinished one, take the byte anew.
      state = State::Ground;
      return Feed(byte, out);
    case State::SingleShift:
      state = State::Ground;
      if (byte >= 0x20 && byte <= 0x7E) return 0;
      return Feed(byte, out);
  }
  return 0;
}

int ConsoleKeyParser::Idle(KeyRecord out[1]) {
  const State was = state;
  state = State::Ground;
  if (was != State::Escape) return 0;
  out[0] = KeyRecordForByte(27);
  return 1;
}
