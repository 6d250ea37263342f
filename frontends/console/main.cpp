// demo_console: the show in a terminal or a Windows console, in time with
// its music.
//
// Start-up order: the console first (so a fatal message is never lost), the
// screen, the resource table, the music, the console set-up, the frame grid,
// the show, then the track. Shutdown releases the show, the music, the
// resources and the screen in that order, then gives the console back.
#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console.h"

namespace {

const char kUsage[] =
    "usage: demo_console\n"
    "\n"
    "Plays the show in this terminal or console (80 x 50 cells, or scaled to fit\n"
    "in a terminal) with its music track qx3.mp3, read from ./ or ../data/.\n"
    "\n"
    "Keys: Escape quits, m mutes and unmutes the music. Ctrl+C also quits.\n"
    "\n"
    "With LUMEN_FRAME_STATS=1 in the environment it prints, after the show,\n"
    "how many frames were late and how many bytes the frames took.\n";

// Frame timing and output size, collected only when asked for: how late
// each frame was shown after its slot on the 16 ms grid, and its bytes.
struct FrameStats {
  bool enabled = false;
  std::vector<uint32_t> lateMs;
  std::vector<size_t> bytes;

  void Print() const {
    if (!enabled || lateMs.empty()) return;
    const size_t late = static_cast<size_t>(
        std::count_if(lateMs.begin(), lateMs.end(), [](uint32_t ms) { return ms > kFrameMs; }));
    std::vector<size_t> sorted = bytes;
    std::sort(sorted.begin(), sorted.end());
    std::fprintf(stderr,
                 "demo_console: %zu frames, %zu late by more than %u ms (%.2f%%); "
                 "bytes per frame median %zu, 99th percentile %zu, max %zu\n",
                 lateMs.size(), late, kFrameMs, 100.0 * static_cast<double>(late) / static_cast<double>(lateMs.size()),
                 sorted[sorted.size() / 2], sorted[(sorted.size() - 1) * 99 / 100], sorted.back());
  }
};

class ConsolePorts final : public FrameLoopPorts {
 public:
  ConsolePorts(MusicPlayer& music, FrameStats& stats) : music_(music), stats_(stats) {}

  uint32_t TickMs() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void SleepMs(uint32_t ms) override {
    // Only 1 ms sleeps: a quit request waits at most that long.
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  bool QuitRequested() override { return ConsoleQuitRequested(); }
  void UpdateMusic() override { music_.Update(); }
  int32_t MusicPosition(uint32_t* positionMs) override { return music_.Position(positionMs); }
  void SetMute(bool muted) override { music_.SetMute(muted); }
  void Present(FrameLoop& loop) override {
    PresentConsole(TextScreen::Get()->cells);
    if (stats_.enabled) {
      stats_.lateMs.push_back(TickMs() - (loop.deadline - kFrameMs));   // the slot began one frame ago
      stats_.bytes.push_back(ConsoleLastFrameBytes());
    }
  }
  size_t PollKeys(KeyRecord* records, size_t max) override { return PollConsoleKeys(records, max); }

 private:
  MusicPlayer& music_;
  FrameStats& stats_;
};

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, "h", kOptions, nullptr)) != -1;) {
    if (c == 'h') {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "demo_console: unknown option %s\n%s", argv[optind - 1], kUsage);
    return 2;
  }
  if (optind < argc) {
    std::fprintf(stderr, "demo_console: unexpected argument %s\n%s", argv[optind], kUsage);
    return 2;
  }
  if (!OpenConsole("demo_console")) return 1;

  TextScreen::Get();
  ResourceTable::Instance();
  MusicPlayer* music = MusicPlayer::Create();
  music->LoadTrack();
  SetUpConsole();

  FrameStats stats;
  stats.enabled = std::getenv("LUMEN_FRAME_STATS") != nullptr;
  if (stats.enabled) {
    stats.lateMs.reserve(16384);   // the whole show, so that no frame allocates
    stats.bytes.reserve(16384);
  }
  ConsolePorts ports(*music, stats);
  FrameLoop loop(ShowProgram::Console);
  loop.deadline = ports.TickMs();   // before the build: the first frames catch up
  BuildShow();
  music->StartPlayback();

  RunFrameLoop(loop, ports);

  TearDownShow();
  music->Shutdown();
  delete music;
  ResourceTable::Release();
  TextScreen::Release();
  RestoreConsole();
  stats.Print();
  return 0;
}
