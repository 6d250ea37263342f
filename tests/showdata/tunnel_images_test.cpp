// The tunnel's images, checked for what the tunnel does with them: the wall
// texture is read at texel ((d & 127) << 9) | ((a & 127) << 4) for depth unit
// d and angle unit a; a credit's blue / 2 weighs the tunnel's level (127 keeps
// it, 0 blacks it out).

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/showdata/decoded_image.h"
#include "tools/showdata/show_images.h"
#include "tools/showdata/tunnel_images.h"

namespace {

// The texel the tunnel reads for depth unit d and angle unit a.
uint8_t WallTexel(const DecodedImage& wall, int d, int a) {
  const int index = ((d & 127) << 9) | ((a & 127) << 4);
  return wall.Blue(index % 256, index / 256);
}

bool IsGrey(const DecodedImage& image) {
  for (size_t i = 0; i < image.rgb.size(); i += 3)
    if (image.rgb[i] != image.rgb[i + 2] || image.rgb[i + 1] != image.rgb[i + 2]) return false;
  return true;
}

TEST(TunnelImages, TheShowTableListsThemAtTheirSizes) {
  struct Expected {
    const char* name;
    int width, height;
  };
  const Expected expected[] = {{"tunnel.png", 256, 256}, {"pelkora.png", 80, 50}, {"qx3.png", 80, 50},
                               {"tovrik.png", 80, 50},   {"sambral.png", 80, 50}};
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    const showdata::ShowImage* found = nullptr;
    for (const showdata::ShowImage& entry : showdata::ShowImages())
      if (std::strcmp(entry.fileName, e.name) == 0) found = &entry;
    ASSERT_NE(found, nullptr);
    const DecodedImage decoded = RoundTrip(found->generate());
    ASSERT_FALSE(decoded.rgb.empty());
    EXPECT_EQ(decoded.width, e.width);
    EXPECT_EQ(decoded.height, e.height);
    EXPECT_TRUE(IsGrey(decoded));
  }
}

// The angle's octant (a >> 4) is ORed into the low three row bits: the wall
// must look the same to all eight, so it depends on d and a & 15 only.
TEST(TunnelImages, WallReadsTheSameInEveryOctant) {
  const DecodedImage wall = RoundTrip(showdata::MakeTunnelTexture());
  ASSERT_EQ(wall.width, 256);
  for (int d = 0; d < 128; ++d)
    for (int a = 16; a < 128; ++a) {
      ASSERT_EQ(WallTexel(wall, d, a), WallTexel(wall, d, a & 15)) << d << ", " << a;
    }
}

// Along the depth, four 32-unit segments each open with a bright rib and its
// dark shadow; around the axis, dark seams every 8 angle units between
// panels; and the wall as a whole neither washes the tunnel out nor drowns it.
TEST(TunnelImages, WallHasRibsSeamsAndABalancedBrightness) {
  const DecodedImage wall = RoundTrip(showdata::MakeTunnelTexture());
  long sum = 0;
  for (int segment = 0; segment < 4; ++segment) {
    const int d0 = segment * 32;
    for (int a = 0; a < 16; ++a) {
      EXPECT_GE(WallTexel(wall, d0, a), 200) << segment << ", " << a;        // rib
      EXPECT_GE(WallTexel(wall, d0 + 3, a), 200) << segment << ", " << a;
      EXPECT_LE(WallTexel(wall, d0 + 8, a), 60) << segment << ", " << a;     // its shadow
    }
    for (int d = d0 + 12; d < d0 + 32; ++d) {
      EXPECT_LE(WallTexel(wall, d, 0), 20) << d;   // seams
      EXPECT_LE(WallTexel(wall, d, 8), 20) << d;
      EXPECT_GT(WallTexel(wall, d, 4), WallTexel(wall, d, 1)) << d;   // panels lit in the middle
    }
  }
  for (int d = 0; d < 128; ++d)
    for (int a = 0; a < 16; ++a) sum += WallTexel(wall, d, a);
  const long mean = sum / (128 * 16);
  EXPECT_GE(mean, 70);
  EXPECT_LE(mean, 170);
}

// Letters as the tunnel will show them: 4-connected groups of dark pixels.
int CountDarkGroups(const DecodedImage& image, int threshold, int minPixels) {
  std::vector<int> seen(static_cast<size_t>(image.width) * image.height, 0);
  int groups = 0;
  for (int start = 0; start < image.width * image.height; ++start) {
    if (seen[start] || image.Blue(start % image.width, start / image.width) >= threshold) continue;
    int size = 0;
    std::vector<int> stack{start};
    seen[start] = 1;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      ++size;
      const int x = i % image.width, y = i / image.width;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : next) {
        if (n[0] < 0 || n[1] < 0 || n[0] >= image.width || n[1] >= image.height) continue;
        const int j = n[1] * image.width + n[0];
        if (!seen[j] && image.Blue(n[0], n[1]) < threshold) {
          seen[j] = 1;
          stack.push_back(j);
        }
      }
    }
    if (size >= minPixels) ++groups;
  }
  return groups;
}

TEST(TunnelImages, CreditsAreDarkBoldLettersOnWhite) {
  struct Credit {
    const char* name;
    showdata::RgbImage (*make)();
    int letters;
  };
  const Credit credits[] = {{"pelkora.png", showdata::MakeCreditPelkora, 7 + 8},   // pelkora presents
                            {"qx3.png", showdata::MakeCreditQx3, 5 + 6},           // lumen gravel
                            {"tovrik.png", showdata::MakeCreditTovrik, 6},
                            {"sambral.png", showdata::MakeCreditSambral, 7}};
  for (const Credit& c : credits) {
    SCOPED_TRACE(c.name);
    const DecodedImage image = RoundTrip(c.make());
    ASSERT_EQ(image.width, 80);
    ASSERT_EQ(image.height, 50);
    int white = 0, black = 0;
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < 80; ++x) {
        const int b = image.Blue(x, y);
        white += b >= 254;   // q = 127: the tunnel shows unchanged
        black += b <= 16;
        // Nothing touches the screen's edge: no letter is cut off.
        if (x < 2 || y < 2 || x >= 78 || y >= 48) {
          EXPECT_GE(b, 254) << x << ", " << y;
        }
      }
    }
    EXPECT_GE(white, 4000 * 55 / 100);
    EXPECT_GE(black, 300);
    // Each letter is one solid shape: none falls apart, none runs into its
    // neighbour (a few pixels of edge shading do not count as a letter).
    EXPECT_EQ(CountDarkGroups(image, 128, 8), c.letters);
  }
}

TEST(TunnelImages, CreditWordWidthAddsLettersAndGaps) {
  EXPECT_GT(showdata::CreditWordWidth("pelkora"), 0.0);
  EXPECT_LT(showdata::CreditWordWidth("ii"), showdata::CreditWordWidth("mm"));
  EXPECT_GT(showdata::CreditWordWidth("lumen gravel"),
            showdata::CreditWordWidth("lumen") + showdata::CreditWordWidth("gravel"));
}

}  // namespace
