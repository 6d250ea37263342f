#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/console/console_encoder.h"

namespace {

struct Key {
  int virtualKey;
  int character;
  bool operator==(const Key&) const = default;
};

void PrintTo(const Key& k, std::ostream* os) { *os << "{" << k.virtualKey << ", " << k.character << "}"; }

// Feeds each string as the bytes of one poll; an empty string is a poll that
// found nothing.
std::vector<Key> Parse(ConsoleKeyParser& p, const std::vector<std::string>& polls) {
  std::vector<Key> keys;
  KeyRecord out[2];
  for (const std::string& bytes : polls) {
    if (bytes.empty()) {
      for (int i = 0, n = p.Idle(out); i < n; ++i) keys.push_back({out[i].virtualKey, out[i].character});
      continue;
    }
    for (char c : bytes) {
      for (int i = 0, n = p.Feed(static_cast<uint8_t>(c), out); i < n; ++i) {
        keys.push_back({out[i].virtualKey, out[i].character});
      }
    }
  }
  return keys;
}

std::vector<Key> Parse(const std::vector<std::string>& polls) {
  ConsoleKeyParser p;
  return Parse(p, polls);
}

const Key kEscape{27, 27};
const Key kMuteKey{'M', 'm'};

TEST(ConsoleKeys, LoneEscapeIsTheEscapeKeyOnceNothingFollows) {
  EXPECT_EQ(Parse({"\x1b"}), std::vector<Key>{});          // may still begin a sequence
  EXPECT_EQ(Parse({"\x1b", ""}), std::vector<Key>{kEscape});
  EXPECT_EQ(Parse({"\x1b", "", ""}), std::vector<Key>{kEscape});   // once
  // Two presses in one read: the first is told by the second.
  EXPECT_EQ(Parse({"\x1b\x1b", ""}), (std::vector<Key>{kEscape, kEscape}));
  // Escape then Enter.
  EXPECT_EQ(Parse({"\x1b\r"}), (std::vector<Key>{kEscape, Key{13, 13}}));
}

TEST(ConsoleKeys, EscapeStartingASequenceIsNoKey) {
  EXPECT_EQ(Parse({"\x1b[A", ""}), std::vector<Key>{});        // arrow up
  EXPECT_EQ(Parse({"\x1bOP", ""}), std::vector<Key>{});        // F1
  EXPECT_EQ(Parse({"\x1b[15;5~", ""}), std::vector<Key>{});    // Ctrl+F5
  EXPECT_EQ(Parse({"\x1bx", ""}), std::vector<Key>{});         // Alt+x
  EXPECT_EQ(Parse({"\x1b\x7f", ""}), std::vector<Key>{});      // Alt+Backspace
  // A sequence split across two polls is still one sequence.
  EXPECT_EQ(Parse({"\x1b[1;", "5A", ""}), std::vector<Key>{});
  EXPECT_EQ(Parse({"\x1b", "[B", ""}), std::vector<Key>{});
}

TEST(ConsoleKeys, LowerAndUpperM) {
  EXPECT_EQ(Parse({"m"}), std::vector<Key>{kMuteKey});
  EXPECT_EQ(Parse({"M"}), (std::vector<Key>{Key{'M', 'M'}}));
}

TEST(ConsoleKeys, MInsideASequenceIsNoKey) {
  EXPECT_EQ(Parse({"\x1b[<0;12;5m", ""}), std::vector<Key>{});   // mouse release report
  EXPECT_EQ(Parse({"\x1b[0m"}), std::vector<Key>{});
  EXPECT_EQ(Parse({"\x1bOm"}), std::vector<Key>{});              // keypad minus
  EXPECT_EQ(Parse({"\x1bm"}), std::vector<Key>{});               // Alt+m
  EXPECT_EQ(Parse({"\x1b[", "m"}), std::vector<Key>{});
}

TEST(ConsoleKeys, SeveralKeysInOneReadInOrder) {
  EXPECT_EQ(Parse({"am\x1b[Bq7 \x1b", ""}),
            (std::vector<Key>{Key{'A', 'a'}, kMuteKey, Key{'Q', 'q'}, Key{'7', '7'}, Key{32, 32}, kEscape}));
  // Each byte of a UTF-8 character is a key record of its own.
  EXPECT_EQ(Parse({"\xC3\xA9"}), (std::vector<Key>{Key{0, 0xC3}, Key{0, 0xA9}}));
}

TEST(ConsoleKeys, UnfinishedSequenceIsDroppedNotLeaked) {
  ConsoleKeyParser p;
  // A control byte cuts a sequence short and is a key itself.
  EXPECT_EQ(Parse(p, {"\x1b[12\r"}), (std::vector<Key>{Key{13, 13}}));
  // A sequence still open when a poll finds nothing is dropped; what follows is keys again.
  EXPECT_EQ(Parse(p, {"\x1b[12", "", "m"}), std::vector<Key>{kMuteKey});
  // A new Escape inside a sequence starts over.
  EXPECT_EQ(Parse(p, {"\x1b[1\x1b", ""}), std::vector<Key>{kEscape});
  EXPECT_EQ(p.state, ConsoleKeyParser::State::Ground);
}

TEST(ConsoleKeys, VirtualKeyOfSingleBytes) {
  EXPECT_EQ(KeyRecordForByte('z').virtualKey, 'Z');
  EXPECT_EQ(KeyRecordForByte('Z').virtualKey, 'Z');
  EXPECT_EQ(KeyRecordForByte('0').virtualKey, '0');
  EXPECT_EQ(KeyRecordForByte('\t').virtualKey, 9);
  EXPECT_EQ(KeyRecordForByte(0x7f).virtualKey, 8);
  EXPECT_EQ(KeyRecordForByte('\n').virtualKey, 13);
  EXPECT_EQ(KeyRecordForByte('!').virtualKey, 0);
  EXPECT_EQ(KeyRecordForByte(0x03).virtualKey, 0);
  EXPECT_EQ(KeyRecordForByte('!').character, '!');
}

}  // namespace
