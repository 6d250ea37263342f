#pragma once
// Our 8x8 pixel designs of the code page 437 characters that the shading
// ramp uses, in the style of the classic VGA 8x8 text-mode font. Keyed by
// character code so that every renderer that draws a character agrees.

#include <cstdint>

namespace showdata {

// Eight rows, top first; bit 7 of each row is the leftmost pixel.
struct Glyph8x8 {
  uint8_t rows[8];
};

// The glyph of a code page 437 character; found is false (and the glyph
// empty) for a character without a design here. Designed: 7 bullet, 9 white
// circle, 15 sun, 21 section sign, 29 left-right arrow, 32 space, 43 plus,
// 79 letter O, 250 middle dot.
Glyph8x8 Cp437Glyph(uint8_t code, bool* found = nullptr);

}  // namespace showdata
