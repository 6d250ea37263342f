#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/effects/effects.h"
#include "engine/render3d/noise.h"
#include "tests/effects/effects_test_support.h"

namespace {

using effects_test::FrameDigest;
using effects_test::MakeGreyBitmap;
using effects_test::RealShow;

constexpr uint32_t kStart = 14000;
constexpr uint32_t kEnd = 45000;

// ---------------------------------------------------------------------------
// The tunnel's level of one cell, worked through the effect's steps one by one
// for that cell alone (own table entries, own addressing); it shares only
// Noise3 with the effect. Images are read with a bounds check: a pixel past
// the end reads 0.

// Angle in 128ths of a turn (-63..64) and depth (0..16383) of the cell at x, y from the centre.
void RefAngleDepth(int x, int y, int* angle, int* depth) {
  const double pi = 3.141592653589;
  const double a = x == 0 ? 0.1 : x;
  double theta = std::atan(2.0 * y / a);
  if (x < 0) theta += y >= 0 ? pi : -pi;
  *angle = static_cast<int>(theta * 64.0 / pi);
  const int d = static_cast<int>(2000.0 * std::cos(theta) / a) >> 1;
  *depth = d > 16383 ? 16383 : (d < 0 ? 0 : d);
}

uint32_t BlueAt(const Bitmap* b, int64_t i) { return i < b->pixelCount ? (b->pixels[i] & 0xFF) : 0; }

uint32_t RefLevel(uint32_t local, int n, int j, const Bitmap* texture, Bitmap* const credits[4]) {
  const float T = static_cast<float>(local);
  const uint32_t k = (local / 7500) & 3;
  const uint32_t h = local % 7500;
  float f = 1.0f;
  if (h < 500) f = static_cast<float>(h) / 500.0f;
  if (h > 7000) f = static_cast<float>(7500 - h) / 500.0f;
  if (local > 30000) f = 0.0f;
  const int t100 = static_cast<int>(local / 100);
  const int t10 = static_cast<int>(T / 10.0f);
  const int c0 = 20 + static_cast<int>(20.0 * std::cos(static_cast<double>(T / 580.0f)));
  const int r0 = 40 - static_cast<int>(-15.0 * std::sin(static_cast<double>(T / 500.0f)));
  const float p = static_cast<float>(std::sin(static_cast<double>(T / 300.0f))) * 0.1f *
                      static_cast<float>(std::sin(static_cast<double>(T / 430.0f))) +
                  0.4f;

  const int x = c0 + j - 64;
  const int y = r0 + n - 64;
  int A = 0, D = 0;
  RefAngleDepth(x, y, &A, &D);
  const float m = static_cast<float>(n) / 200.0f;
  const float u = static_cast<float>(t100) / 200.0f + static_cast<float>(j) / 100.0f;
  float s = std::fabs(Noise3(2 * u, 3 * m, 0)) * 10 * 0.5f;
  s = s + std::fabs(Noise3(u, m, 0)) * 10;
  s = s + std::fabs(Noise3(4 * u, 3 * m, 0)) * 20 * 0.25f;
  s = s + std::fabs(Noise3(6 * u, 7 * m, 0)) * 10 * 0.125f;
  const int64_t index = (((D + t10) & 127) * 512) | (((A + t100) & 127) * 16);
  const int v = static_cast<int>(s * 10.9f + static_cast<float>(BlueAt(texture, index)));
  const uint32_t q = BlueAt(credits[k], n * 80 + j) >> 1;
  const float g = q == 127 ? 1.0f : f;
  const float w = (static_cast<float>(q) / 200.0f) * g + ((1.0f - g) * 128.0f) / 200.0f;
  int e = static_cast<int>(w * static_cast<float>(static_cast<int>(static_cast<float>(v) * p)));
  return static_cast<uint32_t>(e < 0 ? 0 : (e > 80 ? 80 : e));
}

// Renders local time ms and compares every cell with the reference; returns
// the number of mismatches (the first three are reported).
int Mismatches(EffectTunnel* tunnel, std::vector<Cell>& frame, uint32_t local) {
  DemoClock::Get()->nowMs = kStart + local;
  tunnel->target = frame.data();
  tunnel->Render();
  int wrong = 0;
  for (int n = 0; n < 50; ++n) {
    for (int j = 0; j < 80; ++j) {
      const Cell expected = 0x01E60032u | (RefLevel(local, n, j, tunnel->texture, tunnel->credits) << 8);
      if (frame[n * 80 + j] != expected && ++wrong <= 3) {
        ADD_FAILURE() << "local " << local << " cell (" << j << ", " << n << "): " << std::hex << frame[n * 80 + j]
                      << " expected " << expected;
      }
    }
  }
  return wrong;
}

// A tunnel built from the embedded pack whose images the test may replace.
class TunnelTest : public ::testing::Test {
 protected:
  void SetUp() override { tunnel = new EffectTunnel("Tunnel", kStart, kEnd); }
  void TearDown() override {
    delete tunnel;
    ResourceTable::Release();
  }
  void ReplaceTexture(Bitmap* b) {
    ReleaseBitmap(tunnel->texture);
    tunnel->texture = b;
  }
  void ReplaceCredit(int k, Bitmap* b) {
    ReleaseBitmap(tunnel->credits[k]);
    tunnel->credits[k] = b;
  }
  // Renders local time ms into frame and returns it.
  const std::vector<Cell>& Render(uint32_t local) {
    DemoClock::Get()->nowMs = kStart + local;
    tunnel->target = frame.data();
    tunnel->Render();
    return frame;
  }
  int Mismatches(uint32_t local) { return ::Mismatches(tunnel, frame, local); }

  EffectTunnel* tunnel = nullptr;
  std::vector<Cell> frame = std::vector<Cell>(kScreenCells, 0xDEADBEEF);
};

// Varied test images: every pixel's blue differs from its neighbours'.
Bitmap* VariedTexture() {
  return MakeGreyBitmap(256, 256, [](uint32_t i) { return (i * 37 + (i >> 8) * 11 + (i >> 4)) & 0xFF; });
}
Bitmap* VariedCredit(int k) {
  // Mostly white (254 and 255 both mean "keep the tunnel"), with dark and
  // middle bands whose values change along the row.
  return MakeGreyBitmap(80, 50, [k](uint32_t i) -> uint32_t {
    const uint32_t row = i / 80, column = i % 80;
    if ((row + k) % 7 == 3) return (column * 9 + k * 40) & 0xFF;
    if ((column + row) % 11 == 0) return 0;
    return (i & 1) ? 255 : 254;
  });
}

// ---------------------------------------------------------------------------
// Tables.

TEST_F(TunnelTest, TableReferenceSamples) {
  struct Sample { int x, y, angle, depth; };
  const Sample samples[] = {{0, 0, 0, 10000}, {1, 0, 0, 1000},     {-1, 0, 64, 1000}, {0, 1, 30, 499},
                            {0, -1, -30, 499}, {1, 1, 22, 447},    {-1, -1, -41, 447}, {10, 0, 0, 100},
                            {0, 10, 31, 49},  {-64, -64, -41, 6}};
  for (const Sample& s : samples) {
    EXPECT_EQ(tunnel->angle[s.y + 64][s.x + 64], s.angle) << s.x << ", " << s.y;
    EXPECT_EQ(tunnel->depth[s.y + 64][s.x + 64], s.depth) << s.x << ", " << s.y;
  }
}

TEST_F(TunnelTest, TableRangesAndAngleCoverage) {
  std::set<int> coordinates;
  for (int r = 0; r < 128; ++r) {
    for (int c = 0; c < 128; ++c) {
      const int a = tunnel->angle[r][c];
      ASSERT_TRUE(a >= -63 && a <= 64) << a;
      coordinates.insert(a & 127);
      ASSERT_TRUE(tunnel->depth[r][c] >= 6 && tunnel->depth[r][c] <= 10000) << tunnel->depth[r][c];
    }
  }
  // -63..64 through AND 127: each of the 128 texture angle units once.
  EXPECT_EQ(coordinates.size(), 128u);
  // The seam: the negative x half-axis carries 64.
  for (int x = -64; x < 0; ++x) EXPECT_EQ(tunnel->angle[64][x + 64], 64) << x;
}

// ---------------------------------------------------------------------------
// Credit timing.

TEST(TunnelCredits, SlotsAndFades) {
  struct Step { uint32_t local; int credit; float fade; };
  const Step steps[] = {
      {0, 0, 0.0f},      {250, 0, 0.5f},     {499, 0, 0.998f},  {500, 0, 1.0f},    {7000, 0, 1.0f},
      {7250, 0, 0.5f},   {7499, 0, 0.002f},  {7500, 1, 0.0f},   {8000, 1, 1.0f},   {15000, 2, 0.0f},
      {22499, 2, 0.002f}, {22500, 3, 0.0f},  {29999, 3, 0.002f}, {30000, 0, 0.0f},  {30001, 0, 0.0f},
      {30500, 0, 0.0f},  {31000, 0, 0.0f},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(EffectTunnel::CreditAt(s.local), s.credit) << s.local;
    EXPECT_FLOAT_EQ(EffectTunnel::CreditFadeAt(s.local), s.fade) << s.local;
  }
}

// ---------------------------------------------------------------------------
// Rendering.

TEST_F(TunnelTest, EveryCellFollowsTheSteps) {
  ReplaceTexture(VariedTexture());
  for (int k = 0; k < 4; ++k) ReplaceCredit(k, VariedCredit(k));
  // Slot starts and ends, fades, the credits' end and the window's last ms.
  for (uint32_t local : {0u, 250u, 3333u, 7250u, 7500u, 12345u, 15000u, 22499u, 29999u, 30000u, 30500u,
                         31000u}) {
    EXPECT_EQ(Mismatches(local), 0) << "local " << local;
  }
}

TEST_F(TunnelTest, AFullyShownBlackCreditBlacksOutTheTunnel) {
  ReplaceTexture(VariedTexture());
  ReplaceCredit(1, MakeGreyBitmap(80, 50, [](uint32_t) { return 0; }));
  for (uint32_t local : {8000u, 12000u, 15000u - 501u}) {
    const std::vector<Cell>& frame = Render(local);
    for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(frame[i], 0x01E60032u) << local << " cell " << i;
  }
}

TEST_F(TunnelTest, BrightTexelsClampAtLevel80) {
  ReplaceTexture(MakeGreyBitmap(256, 256, [](uint32_t) { return 255; }));
  for (int k = 0; k < 4; ++k) ReplaceCredit(k, MakeGreyBitmap(80, 50, [](uint32_t) { return 255; }));
  int atTop = 0;
  for (uint32_t local : {1000u, 5000u, 9000u}) {
    EXPECT_EQ(Mismatches(local), 0);   // the reference limits at 80
    for (Cell c : frame) atTop += CellLevel(c) == 80;
  }
  EXPECT_GT(atTop, 0);
}

TEST_F(TunnelTest, CountsItsFrames) {
  EXPECT_EQ(tunnel->frameCount, 0);
  for (uint32_t local : {0u, 16u, 16u}) Render(local);
  EXPECT_EQ(tunnel->frameCount, 3);
}

// ---------------------------------------------------------------------------
// Images of the wrong size: every read stays inside the pixel array and a
// pixel past its end reads 0.

TEST_F(TunnelTest, ShortImagesReadZeroPastTheirEnd) {
  // The 80 x 50 size of an undecodable resource, lit everywhere, so that a
  // texel inside reads 255 and one past the end 0.
  ReplaceTexture(MakeGreyBitmap(80, 50, [](uint32_t) { return 255; }));
  ReplaceCredit(0, MakeGreyBitmap(10, 10, [](uint32_t) { return 255; }));
  ReplaceCredit(1, MakeGreyBitmap(80, 49, [](uint32_t i) { return i * 7; }));
  for (uint32_t local : {2000u, 9000u, 30500u}) EXPECT_EQ(Mismatches(local), 0) << local;

  // Past the 100 pixels of the small credit: q = 0, so at full fade the
  // tunnel is black there.
  const std::vector<Cell>& frame = Render(2000);
  for (int i = 100; i < kScreenCells; ++i) ASSERT_EQ(CellLevel(frame[i]), 0u) << i;
}

// Broken resources: a table without the tunnel's images and files in the
// working directory that are not PNGs (or a PNG of the wrong size).
TEST(TunnelBrokenImages, UndecodableResourcesGiveTheZeroImage) {
  namespace fs = std::filesystem;
  const char* names[] = {"tunnel.png", "pelkora.png", "qx3.png", "tovrik.png", "sambral.png"};
  for (const char* name : names) std::ofstream(name, std::ios::binary) << "this is not a png";
  // "qx3.png": a real PNG, 4 x 3, all white.
  std::vector<unsigned char> white(4 * 3 * 3, 255);
  ASSERT_NE(stbi_write_png("qx3.png", 4, 3, 3, white.data(), 4 * 3), 0);

  ResourceTable::Install(new ResourceTable());   // empty: every name comes from the files
  testing::internal::CaptureStdout();
  EffectTunnel* tunnel = new EffectTunnel("Tunnel", kStart, kEnd);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("bitmap loading failed! tunnel.png"), std::string::npos) << printed;
  EXPECT_NE(printed.find("bitmap loading failed! sambral.png"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("qx3.png"), std::string::npos) << printed;
  EXPECT_TRUE(tunnel->texture->width == 80u && tunnel->texture->height == 50u);
  EXPECT_EQ(tunnel->credits[1]->pixelCount, 12);

  std::vector<Cell> frame(kScreenCells);
  for (uint32_t local : {0u, 3000u, 8000u, 30500u}) EXPECT_EQ(Mismatches(tunnel, frame, local), 0) << local;
  delete tunnel;
  ResourceTable::Release();
  for (const char* name : names) fs::remove(name);
}

// ---------------------------------------------------------------------------
// Regression guard over the real programme and data: finished frames at a few
// times of the tunnel's window. Recorded once the checks above passed against
// the reference values; a change here means a frame changed and must be
// explained (effect, finishing, tunnel.png or a credit image).

TEST(TunnelShow, FinishedFrameDigests) {
  RealShow show;
  struct Expected { uint32_t ms; uint32_t digest; };
  const Expected expected[] = {
      {16000, 4085236906u},   // pelkora.png, fully shown
      {29500, 1895362049u},   // between the second and third credit
      {40000, 2277423646u},   // sambral.png
  };
  for (const Expected& e : expected) EXPECT_EQ(FrameDigest(show.Frame(e.ms)), e.digest) << e.ms;
}

}  // namespace
