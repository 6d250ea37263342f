// The whole show as demo_console runs it once started: every 16 ms frame
// rendered and encoded for a full-size terminal, with no heap allocation in
// any frame. In the sanitizer build this is also the whole show under ASan
// and UBSan (float-to-integer overflow included).
#include <gtest/gtest.h>

#include <string>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console_encoder.h"
#include "tests/support/allocation_count.h"

namespace {

constexpr uint32_t kPastTheEndMs = 201000;   // the show is 200 s; then dark red

TEST(ConsoleShow, EveryFrameRendersAndEncodesWithoutAllocating) {
  TextScreen* screen = TextScreen::Get();
  ResourceTable::Instance();
  BuildShow();
  const float coverage[kShadeCount] = {};   // not used at full size
  ConsoleEncoder encoder;
  encoder.Configure(kScreenWidth, kScreenHeight, true, coverage);
  std::string frame;
  frame.reserve(kMaxConsoleFrameBytes);

  StartCountingAllocations();
  for (uint32_t t = 0; t <= kPastTheEndMs; t += kFrameMs) {
    RenderFrame(t);
    frame.clear();
    encoder.EncodeFrame(screen->cells, frame);
  }
  EXPECT_EQ(StopCountingAllocations(), 0u);

  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

}  // namespace
