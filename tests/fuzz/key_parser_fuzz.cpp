// The terminal key parser on any input. The bytes come in reads: each read is
// a length byte and that many bytes (fewer at the end of the input), and
// after each read the parser is polled idle once, as demo_console does when a
// poll finds nothing more. Every record must be a key as typed on its own
// (KeyRecordForByte of its character), each call must write no more records
// than it says, and an idle poll must leave the parser ready for new keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frontends/console/key_parser.h"

namespace {

void CheckRecords(const KeyRecord* records, int count, int most) {
  if (count < 0 || count > most) std::abort();
  for (int i = 0; i < count; ++i) {
    const KeyRecord expected = KeyRecordForByte(records[i].character);
    if (records[i].virtualKey != expected.virtualKey) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ConsoleKeyParser parser;
  size_t at = 0;
  while (at < size) {
    size_t length = data[at++];
    if (length > size - at) length = size - at;
    for (size_t end = at + length; at < end; ++at) {
      KeyRecord out[2];
      CheckRecords(out, parser.Feed(data[at], out), 2);
    }
    KeyRecord idle[1];
    CheckRecords(idle, parser.Idle(idle), 1);
    if (parser.state != ConsoleKeyParser::State::Ground) std::abort();
  }
  return 0;
}
