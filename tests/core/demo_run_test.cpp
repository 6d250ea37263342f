// The frame loop's rules over virtual time with scripted music and keys:
// when the show ends, which time each frame shows, the 16 ms grid, mute.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"

namespace {

constexpr int32_t kOk = 0, kInvalidHandle = 36, kNotReady = 46;   // results of the position query

using Music = std::function<int32_t(uint32_t frame, uint32_t* position)>;
using Keys = std::function<std::vector<KeyRecord>(uint32_t frame)>;

// Virtual time; music, keys and quit requests scripted per frame.
struct ScriptedPorts : FrameLoopPorts {
  explicit ScriptedPorts(uint32_t quitAfter = 100000, uint32_t renderCost = 0)
      : renderCostMs(renderCost), quitAfterFrames(quitAfter) {}
  uint32_t now = 1000, renderCostMs, quitAfterFrames, sleeps = 0;
  Music music = [this](uint32_t, uint32_t* p) { return *p = now - 1000, kOk; };   // playing in step
  Keys keys = [](uint32_t) { return std::vector<KeyRecord>{}; };
  std::vector<uint32_t> frameStarts, frameTimes;   // tick at each music update, time handed to the renderer
  std::vector<bool> muteCalls;

  uint32_t Frame() const { return static_cast<uint32_t>(frameStarts.size() - 1); }
  uint32_t TickMs() override { return now; }
  void SleepMs(uint32_t ms) override { now += ms, ++sleeps; }
  bool QuitRequested() override { return frameStarts.size() >= quitAfterFrames; }
  void UpdateMusic() override { frameStarts.push_back(now); }
  int32_t MusicPosition(uint32_t* position) override { return music(Frame(), position); }
  void SetMute(bool muted) override { muteCalls.push_back(muted); }
  void Present(FrameLoop& loop) override { frameTimes.push_back(loop.timeMs), now += renderCostMs; }
  size_t PollKeys(KeyRecord* records, size_t max) override {
    const std::vector<KeyRecord> k = keys(Frame());
    return static_cast<size_t>(std::copy_n(k.begin(), std::min(k.size(), max), records) - records);
  }
  // A loop of program from now over an empty programme (every frame dark
  // red), torn down after it ends.
  FrameLoop Run(ShowProgram program) {
    FrameLoop loop(program);
    loop.deadline = now;
    RunFrameLoop(loop, *this);
    TearDownShow();
    ResourceTable::Release();
    TextScreen::Release();
    return loop;
  }
};

TEST(FrameLoop, HowTheShowEndsAndMuteToggles) {
  const Music zero = [](uint32_t, uint32_t* p) { return *p = 0, kOk; };
  const Music late = [](uint32_t f, uint32_t* p) {   // 0 until the output begins at frame 40, over at 60
    return *p = f < 40 || f >= 60 ? 0 : (f - 39) * 16, f < 60 ? kOk : kInvalidHandle;
  };
  const Music played = [](uint32_t f, uint32_t* p) { return *p = f < 30 ? f * 16 : 0, f < 30 ? kOk : kInvalidHandle; };
  // "m" twice a frame up to 19, "M" at 30, "m" at 45 and 46, then "m",
  // Escape (released) and "x" in one batch at 70.
  const Keys keys = [](uint32_t f) {
    if (f <= 19) return std::vector<KeyRecord>{{0, 'm'}, {0, 'm'}};
    if (f == 30) return std::vector<KeyRecord>{{77, 'M'}};
    if (f == 70) return std::vector<KeyRecord>{{0, 'm'}, {kVirtualKeyEscape, 0}, {0, 'x'}};
    return f == 45 || f == 46 ? std::vector<KeyRecord>{{0, 'm'}} : std::vector<KeyRecord>{};
  };
  struct Case { const char* what; ShowProgram program; Music music; Keys keys; uint32_t quitAfterFrames, frames;
                std::vector<bool> mutes; };
  const Case cases[] = {
      {"position 0 while the output has not begun: never the end", ShowProgram::Console, zero, nullptr, 50, 50, {}},
      {"an output that begins at frame 40 plays until its first 0", ShowProgram::Window, late, nullptr, 100000, 61, {}},
      {"the first 0 once played ends it", ShowProgram::Window, played, nullptr, 100000, 31, {}},
      {"a quit request ends it before the next frame", ShowProgram::Console, nullptr, nullptr, 3, 3, {}},
      {"frame 19 toggles, then 20 frames pass; M is no key; Escape and m of one batch both count",
       ShowProgram::Console, nullptr, keys, 100000, 71, {true, false, true}},
  };
  for (const Case& c : cases) {
    ScriptedPorts ports(c.quitAfterFrames);
    if (c.music) ports.music = c.music;
    if (c.keys) ports.keys = c.keys;
    EXPECT_EQ(ports.Run(c.program).frameIndex, c.frames) << c.what;
    EXPECT_EQ(ports.muteCalls, c.mutes) << c.what;
  }
}

TEST(FrameLoop, FailedPositionConsoleCountsFramesWindowShowsNoEffect) {
  ScriptedPorts console(15), window(15);
  console.music = [](uint32_t f, uint32_t* p) {   // frame 5 accepted, yet without a position
    return *p = f == 5 ? 0xFFFFFFFFu : 12345, f == 5 ? kOk : kNotReady;
  };
  window.music = [](uint32_t, uint32_t* p) { return *p = 500, kNotReady; };
  console.Run(ShowProgram::Console);
  for (uint32_t i = 0; i < 15; ++i) EXPECT_EQ(console.frameTimes.at(i), i * 16) << i;
  window.Run(ShowProgram::Window);
  EXPECT_EQ(window.frameTimes, std::vector<uint32_t>(15, kFailedClockMs));   // a time outside every effect
}

TEST(FrameLoop, TheGridHoldsThroughLateFrames) {
  // Frame 3 takes 50 ms: the next frames start at once until the grid is met.
  ScriptedPorts ports(12);
  ports.music = [&ports](uint32_t f, uint32_t* p) { return ports.renderCostMs = f == 3 ? 50 : 0, *p = f * 16, kOk; };
  const FrameLoop loop = ports.Run(ShowProgram::Console);
  const std::vector<uint32_t> starts = {1001, 1017, 1033, 1049, 1099, 1099, 1099, 1113, 1129, 1145, 1161, 1177};
  EXPECT_EQ(ports.frameStarts, starts);
  EXPECT_EQ(loop.deadline, 1000 + 12 * kFrameMs);
  // Always late: the window still sleeps once a frame, the console only before the first.
  for (ShowProgram program : {ShowProgram::Window, ShowProgram::Console}) {
    ScriptedPorts late(5, 40);
    late.Run(program);
    EXPECT_EQ(late.sleeps, program == ShowProgram::Window ? 5u : 1u);
  }
}

}  // namespace
