#include <cmath>

#include "engine/core/exact_math.h"
#include "engine/core/float_math.h"
#include "engine/effects/effects.h"
#include "engine/effects/pixel_lookup.h"
#include "engine/render3d/noise.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr uint32_t kCreditSlotMs = 7500;   // one credit image per slot
constexpr uint32_t kCreditFadeMs = 500;    // fade in / out at each end of a slot
constexpr uint32_t kCreditsEndMs = 30000;  // no credit after this local time

// Every cell: kind 1, hue 230, saturation 50, level in bits 8-15.
constexpr Cell kTunnelCell = MakeRampCell(kHueDefault, 0, kSaturationHalf);

const char* const kCreditNames[EffectTunnel::kCredits] = {"pelkora.png", "qx3.png", "tovrik.png",
                                                           "sambral.png"};

}  // namespace

EffectTunnel::EffectTunnel(const char* effectName, uint32_t start, uint32_t end)
    : Effect(effectName, start, end) {
  texture = LoadBitmap("tunnel.png");
  for (int k = 0; k < kCredits; ++k) credits[k] = LoadBitmap(kCreditNames[k]);

  // Angle around the axis and depth along it for every offset (x, y) from the
  // axis, y counting double. x = 0 stands in as 0.1, which puts depth 10000 on
  // the axis itself.
  for (int x = -64; x < 64; ++x) {
    for (int y = -64; y < 64; ++y) {
      const double a = x == 0 ? 0.1 : static_cast<double>(x);
      double theta = ExactAtan(2.0 * y / a);
      if (x < 0) theta = y >= 0 ? theta + kTablePi : theta - kTablePi;   // seam on -x
      angle[y + 64][x + 64] = static_cast<int32_t>(theta * 64.0 / kTablePi);
      int32_t d = static_cast<int32_t>(2000.0 * std::cos(theta) / a) >> 1;
      if (d > 0x3FFF) d = 0x3FFF;
      if (d < 0) d = 0;
      depth[y + 64][x + 64] = d;
    }
  }
}

EffectTunnel::~EffectTunnel() {
  ReleaseBitmap(texture);
  for (Bitmap* credit : credits) ReleaseBitmap(credit);
}

int EffectTunnel::CreditAt(uint32_t localMs) { return static_cast<int>((localMs / kCreditSlotMs) & 3); }

float EffectTunnel::CreditFadeAt(uint32_t localMs) {
  const uint32_t h = localMs % kCreditSlotMs;
  float f = 1.0f;
  if (h < kCreditFadeMs) f = static_cast<float>(h) / 500.0f;
  if (h > kCreditSlotMs - kCreditFadeMs) f = static_cast<float>(kCreditSlotMs - h) / 500.0f;
  if (localMs > kCreditsEndMs) f = 0.0f;
  return f;
}

void EffectTunnel::Render() {
  ++frameCount;
  const uint32_t local = LocalTimeMs();
  const float t = static_cast<float>(local);

  const Bitmap* credit = credits[CreditAt(local)];
  const float fade = CreditFadeAt(local);

  const uint32_t t100 = local / 100;   // angle units rolled: one per 100 ms
  const uint32_t t10 = static_cast<uint32_t>(static_cast<int32_t>(t / 10.0f));   // depth: 100 per s

  // Window origin in the tables: c0 in 0..40, r0 in 25..55 (the window of
  // 80 x 50 entries stays inside the 128 x 128 tables).
  const int c0 = 20 + static_cast<int>(20.0 * std::cos(static_cast<double>(t / 580.0f)));
  const int r0 = 40 - static_cast<int>(-15.0 * std::sin(static_cast<double>(t / 500.0f)));

  // Global pulse: 0.4 +- 0.1 on two slow sines, so the whole tunnel breathes
  // between 30% and 50% of its lit value (its brightness beats about every
  // 2-3 s).
  const float pulse = static_cast<float>(std::sin(static_cast<double>(t / 300.0f))) * 0.1f *
                          static_cast<float>(std::sin(static_cast<double>(t / 430.0f))) +
                      0.4f;

  const float uBase = static_cast<float>(t100) / 200.0f;
  for (int n = 0; n < kScreenHeight; ++n) {
    const float m = static_cast<float>(n) / 200.0f;
    const int32_t* angleRow = angle[r0 + n] + c0;
    const int32_t* depthRow = depth[r0 + n] + c0;
    Cell* out = target + n * kScreenWidth;
    for (int j = 0; j < kScreenWidth; ++j) {
      const float u = uBase + static_cast<float>(j) / 100.0f;
      const float s = std::fabs(Noise3(2.0f * u, 3.0f * m, 0.0f)) * 10.0f * 0.5f +
                      std::fabs(Noise3(u, m, 0.0f)) * 10.0f +
                      std::fabs(Noise3(4.0f * u, 3.0f * m, 0.0f)) * 20.0f * 0.25f +
                      std::fabs(Noise3(6.0f * u, 7.0f * m, 0.0f)) * 10.0f * 0.125f;

      // Texture row from the depth (2 rows per unit), column from the angle
      // (16 columns per unit); the two parts share bits 9 and 10 and are ORed.
      const uint32_t du = (static_cast<uint32_t>(depthRow[j]) + t10) & 127;
      const uint32_t au = (static_cast<uint32_t>(angleRow[j]) + t100) & 127;
      const uint32_t texel = BlueOrZero(texture, (du << 9) | (au << 4));
      // s stays below 21.25 (every |Noise3| is below 1) and is typically a
      // few units; x 10.9 makes the drifting noise about as strong as the
      // wall texture (0..255), so clouds sweep over the ribs.
      const int32_t v = static_cast<int32_t>(s * 10.9f + static_cast<float>(texel));

      // Credit 0..127: white (127) keeps the tunnel at full weight whatever
      // the fade; darker pixels darken it as the credit fades in.
      const uint32_t q = BlueOrZero(credit, n * kScreenWidth + j) >> 1;
      const float g = q == 127 ? 1.0f : fade;
      const float w = static_cast<float>(q) / 200.0f * g + ((1.0f - g) * 128.0f) / 200.0f;

      const float lit = static_cast<float>(static_cast<int32_t>(static_cast<float>(v) * pulse));
      int32_t e = static_cast<int32_t>(w * lit);
      if (e < 0) e = 0;
      if (e > 80) e = 80;
      out[j] = CellWithLevel(kTunnelCell, static_cast<uint32_t>(e));
    }
  }
}
