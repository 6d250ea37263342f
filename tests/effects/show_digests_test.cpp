// Regression guard over the real programme and data: FNV-1a digests of
// finished frames through every effect's window and the cross-fades between
// them. Recorded once the checks of this folder passed against the reference
// values; a change here means a frame changed and must be explained (an
// effect, the mesh pipeline, the bloom, the finishing, the effect cross-faded
// with, or one of the show's images and meshes). The first frame and the one
// after the show are uniform screens whose digests are worked out here.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"

namespace {

uint32_t UniformDigest(Cell word) {
  const std::vector<Cell> cells(kScreenCells, word);
  return CellsDigest(cells.data());
}

TEST(WholeShow, FinishedFrameDigests) {
  const std::pair<uint32_t, uint32_t> expected[] = {   // demo ms, digest
      {0, UniformDigest(kCellDark)},   // the logo: dark everywhere
      {2000, 1144788982u},     // dark logo to skull, half way: the noise fading in
      {5000, 1623281984u},     // the emblem's face, entering from the left
      {9500, 330285689u},      // its face again, glowing eyes
      {11000, 528744630u},     // its back, turned towards the light
      {14500, 1784734926u},    // skull to tunnel, half way
      {16000, 4085236906u},    // tunnel, pelkora.png fully shown
      {29500, 1895362049u},    // between the second and third credit
      {40000, 2277423646u},    // sambral.png
      {44500, 1209088384u},    // half way from the tunnel to the glow
      {50000, 2386843650u},
      {66000, 3619185333u},
      {72100, 174108678u},     // wobbler, the greetings still off screen
      {80000, 1558668049u},    // wobbler with greetings
      {95000, 2048027740u},
      {100500, 3764179301u},   // cross-fade from the wobbler to the cube
      {101500, 1719427844u},   // wobbly cube
      {115000, 3136520940u},
      {129000, 799632297u},
      {130500, 1046861294u},   // wobbly cube to liquid, half way
      {136000, 227673524u},    // the box near the camera
      {145000, 1547797490u},   // the box far away
      {152000, 3907364392u},
      {158500, 803713290u},    // liquid to twister, half way
      {159500, 1906577695u},   // twister
      {170000, 3218148582u},
      {186000, 3338398155u},
      {188100, 3086945520u},   // the ending, 1100 ms in: a uniform level under the vignette and the glow
      {200001, UniformDigest(kCellNoEffect)},   // after the show: no effect, not finished
  };
  TextScreen* screen = TextScreen::Get();
  BuildShow();
  for (const auto& [ms, digest] : expected) {
    RenderFrame(ms);
    EXPECT_EQ(CellsDigest(screen->cells), digest) << ms;
  }
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

}  // namespace
