// demo_console: the show in a terminal, in time with its music.
//
// Start-up order: the console first (so a fatal message is never lost), the
// screen, the resource table, the music, the terminal set-up, the frame grid,
// the show, then the track. Shutdown releases the show, the music, the
// resources and the screen in that order, then gives the terminal back.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/terminal_console.h"

namespace {

const char kUsage[] =
    "usage: demo_console\n"
    "\n"
    "Plays the show in this terminal (80 x 50 cells, or scaled to fit) with its\n"
    "music track qx3.mp3, read from ./ or ../data/.\n"
    "\n"
    "Keys: Escape quits, m mutes and unmutes the music. Ctrl+C also quits.\n";

class ConsolePorts final : public FrameLoopPorts {
 public:
  explicit ConsolePorts(MusicPlayer& music) : music_(music) {}

  uint32_t TickMs() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void SleepMs(uint32_t ms) override {
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);   // a signal cuts it short; the loop checks again
  }
  bool QuitRequested() override { return ConsoleQuitRequested(); }
  void UpdateMusic() override { music_.Update(); }
  int32_t MusicPosition(uint32_t* positionMs) override { return music_.Position(positionMs); }
  void SetMute(bool muted) override { music_.SetMute(muted); }
  void Present(FrameLoop&) override { PresentConsole(TextScreen::Get()->cells); }
  size_t PollKeys(KeyRecord* records, size_t max) override { return PollConsoleKeys(records, max); }

 private:
  MusicPlayer& music_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
    std::fputs(kUsage, help ? stdout : stderr);
    return help ? 0 : 2;
  }
  if (!OpenConsole("demo_console")) return 1;

  TextScreen::Get();
  ResourceTable::Instance();
  MusicPlayer* music = MusicPlayer::Create();
  music->LoadTrack();
  SetUpConsole();

  ConsolePorts ports(*music);
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
  return 0;
}
