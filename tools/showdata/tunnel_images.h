#pragma once
// The tunnel's images: its wall texture and the four credit pictures that
// fade in over it.

#include "tools/showdata/image.h"

namespace showdata {

// "tunnel.png", 256 x 256. The tunnel reads texel ((d & 127) << 9) |
// ((a & 127) << 4) for depth unit d and angle unit a: only every 16th column
// (column 16 (a & 15)), and row 2 (d & 127) ORed with a's octant (a >> 4).
// So every 8-row block holds one value per column: block b is depth units
// 4b..4b+3 in every octant alike. Along the depth, four 32-unit segments,
// each a bright ring rib with its shadow and a stretch of wall; around the
// axis, two riveted panels per 16 angle units (16 panels per turn).
RgbImage MakeTunnelTexture();

// Credits, 80 x 50, one pixel per screen cell: white (255) where the tunnel
// shows unchanged, dark bold capitals (down to 0) where it is darkened.
RgbImage MakeCreditPelkora();   // "PELKORA" over "PRESENTS"
RgbImage MakeCreditQx3();       // "LUMEN" over "GRAVEL"
RgbImage MakeCreditTovrik();    // "TOVRIK"
RgbImage MakeCreditSambral();   // "SAMBRAL"

// Layout helper, exposed for the tests: the width in font pixels of word
// (letters a..z, spaces) set at scale 1 with the credits' letter gap.
double CreditWordWidth(const char* word);

}  // namespace showdata
