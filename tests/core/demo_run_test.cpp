#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kInvalidHandle = 36;
constexpr int32_t kNotReady = 46;

// Virtual time and scripted music, keys and quit requests.
class ScriptedPorts : public FrameLoopPorts {
 public:
  uint32_t now = 1000;
  uint32_t renderCostMs = 0;
  // Position and result for frame n; default: playing in step with time.
  std::function<int32_t(uint32_t frame, uint32_t* position)> music = [this](uint32_t, uint32_t* p) {
    *p = now - 1000;
    return kOk;
  };
  std::function<std::vector<KeyRecord>(uint32_t frame)> keys = [](uint32_t) { return std::vector<KeyRecord>{}; };
  uint32_t quitAfterFrames = 100000;

  std::vector<uint32_t> frameStarts;   // tick at each music update
  std::vector<uint32_t> frameTimes;    // demo time handed to the renderer
  std::vector<bool> muteCalls;
  uint32_t sleeps = 0;

  uint32_t TickMs() override { return now; }
  void SleepMs(uint32_t ms) override {
    now += ms;
    ++sleeps;
  }
  bool QuitRequested() override { return frameStarts.size() >= quitAfterFrames; }
  void UpdateMusic() override { frameStarts.push_back(now); }
  int32_t MusicPosition(uint32_t* position) override {
    return music(static_cast<uint32_t>(frameStarts.size() - 1), position);
  }
  void SetMute(bool muted) override { muteCalls.push_back(muted); }
  void Present(FrameLoop& loop) override {
    frameTimes.push_back(loop.timeMs);
    now += renderCostMs;
  }
  size_t PollKeys(KeyRecord* records, size_t max) override {
    const std::vector<KeyRecord> k = keys(static_cast<uint32_t>(frameStarts.size() - 1));
    size_t n = 0;
    for (; n < k.size() && n < max; ++n) records[n] = k[n];
    return n;
  }
};

class FrameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TextScreen::Get();
    BuildShow();
  }
  void TearDown() override {
    TearDownShow();
    ResourceTable::Release();
    TextScreen::Release();
  }
  FrameLoop Start(ShowProgram program, ScriptedPorts& ports) {
    FrameLoop loop(program);
    loop.deadline = ports.now;
    return loop;
  }
};

TEST_F(FrameLoopTest, PositionZeroEndsTheShowFromTheTwelfthFrame) {
  ScriptedPorts ports;
  ports.music = [](uint32_t, uint32_t* p) {
    *p = 0;
    return kOk;
  };
  FrameLoop loop = Start(ShowProgram::Console, ports);
  RunFrameLoop(loop, ports);
  EXPECT_EQ(ports.frameStarts.size(), 12u);
  EXPECT_EQ(loop.frameIndex, 12u);
}

TEST_F(FrameLoopTest, EndOfTrackAfterPlayingStopsAtTheFirstZero) {
  ScriptedPorts ports;
  ports.music = [](uint32_t frame, uint32_t* p) {
    *p = frame < 30 ? frame * 16 : 0;
    return frame < 30 ? kOk : kInvalidHandle;
  };
  FrameLoop loop = Start(ShowProgram::Window, ports);
  RunFrameLoop(loop, ports);
  EXPECT_EQ(ports.frameStarts.size(), 31u);
}

TEST_F(FrameLoopTest, ConsoleCountsFramesWhenThePositionFails) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 40;
  ports.music = [](uint32_t frame, uint32_t* p) {
    *p = frame == 5 ? 0xFFFFFFFFu : 12345;
    return frame == 5 ? kOk : kNotReady;
  };
  FrameLoop loop = Start(ShowProgram::Console, ports);
  RunFrameLoop(loop, ports);
  ASSERT_EQ(ports.frameTimes.size(), 40u);
  for (uint32_t i = 0; i < 40; ++i) EXPECT_EQ(ports.frameTimes[i], i * 16) << i;
}

TEST_F(FrameLoopTest, WindowShowsNoEffectWhenThePositionFails) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 15;
  ports.music = [](uint32_t, uint32_t* p) {
    *p = 500;
    return kNotReady;
  };
  FrameLoop loop = Start(ShowProgram::Window, ports);
  RunFrameLoop(loop, ports);
  ASSERT_EQ(ports.frameTimes.size(), 15u);
  for (uint32_t t : ports.frameTimes) EXPECT_EQ(t, kFailedClockMs);
  EXPECT_EQ(TextScreen::Get()->cells[0], 0x00780000u);
}

TEST_F(FrameLoopTest, FramesKeepTheirGridAfterALateFrame) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 12;
  const uint32_t start = ports.now;
  FrameLoop loop = Start(ShowProgram::Console, ports);
  // Frame 3 takes 50 ms: the next frames start at once until the grid is met.
  ports.music = [&ports](uint32_t frame, uint32_t* p) {
    ports.renderCostMs = frame == 3 ? 50 : 0;
    *p = frame * 16;
    return kOk;
  };
  RunFrameLoop(loop, ports);
  const std::vector<uint32_t> expected = {1, 17, 33, 49, 99, 99, 99, 113, 129, 145, 161, 177};
  ASSERT_EQ(ports.frameStarts.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ports.frameStarts[i] - start, expected[i]) << i;
  EXPECT_EQ(loop.deadline, start + 12 * kFrameMs);
}

TEST_F(FrameLoopTest, WindowSleepsAtLeastOncePerFrame) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 5;
  ports.renderCostMs = 40;   // always late
  FrameLoop loop = Start(ShowProgram::Window, ports);
  RunFrameLoop(loop, ports);
  EXPECT_EQ(ports.sleeps, 5u);   // always late, yet one sleep a frame

  ScriptedPorts console;
  console.quitAfterFrames = 5;
  console.renderCostMs = 40;
  FrameLoop consoleLoop = Start(ShowProgram::Console, console);
  RunFrameLoop(consoleLoop, console);
  EXPECT_EQ(console.sleeps, 1u);   // only before the first frame
}

TEST_F(FrameLoopTest, MuteKeyDebounceAndUpperCase) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 80;
  // "m" down and up in every frame up to 19, an "M" at 30, "m" again at 45..46.
  ports.keys = [](uint32_t frame) {
    if (frame <= 19) return std::vector<KeyRecord>{{0, 'm'}, {0, 'm'}};
    if (frame == 30) return std::vector<KeyRecord>{{77, 'M'}};
    if (frame == 45 || frame == 46) return std::vector<KeyRecord>{{0, 'm'}};
    return std::vector<KeyRecord>{};
  };
  FrameLoop loop = Start(ShowProgram::Console, ports);
  RunFrameLoop(loop, ports);
  // The twentieth frame (index 19) toggles; the second toggle waits 20 frames.
  EXPECT_EQ(ports.muteCalls, (std::vector<bool>{true, false}));
  EXPECT_FALSE(loop.muted);
}

TEST_F(FrameLoopTest, EscapeAndMuteInOneBatchBothTakeEffect) {
  ScriptedPorts ports;
  ports.keys = [](uint32_t frame) {
    if (frame == 25) return std::vector<KeyRecord>{{0, 'm'}, {kVirtualKeyEscape, 27}, {0, 'x'}};
    return std::vector<KeyRecord>{};
  };
  FrameLoop loop = Start(ShowProgram::Console, ports);
  RunFrameLoop(loop, ports);
  EXPECT_EQ(ports.frameStarts.size(), 26u);
  EXPECT_EQ(ports.muteCalls, (std::vector<bool>{true}));
}

TEST_F(FrameLoopTest, QuitRequestEndsBeforeTheNextFrame) {
  ScriptedPorts ports;
  ports.quitAfterFrames = 3;
  FrameLoop loop = Start(ShowProgram::Console, ports);
  RunFrameLoop(loop, ports);
  EXPECT_EQ(ports.frameStarts.size(), 3u);
}

TEST(KeyRules, MuteDelayCountsDownBeforeKeysAreRead) {
  FrameLoop loop(ShowProgram::Console);
  const KeyRecord m{0, 'm'};
  for (int frame = 0; frame < 19; ++frame) {
    EXPECT_FALSE(ApplyConsoleKeys(loop, &m, 1).muteToggled) << frame;
  }
  EXPECT_TRUE(ApplyConsoleKeys(loop, &m, 1).muteToggled);
  EXPECT_EQ(loop.muteDelay, kMuteDebounceFrames);
  EXPECT_TRUE(loop.muted);
  const KeyRecord escapeUp{kVirtualKeyEscape, 0};
  EXPECT_TRUE(ApplyConsoleKeys(loop, &escapeUp, 1).quit);
}

}  // namespace
