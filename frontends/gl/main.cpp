// demo_gl: the show in an OpenGL window that emulates text mode, with its
// music. Escape quits, M (on release) mutes, F1 (on release) switches
// between the 640 x 400 window and full screen; closing the window quits.
// The same program over each window layer (gl_window.h); on Windows a GUI
// program, whose standard output and error reach only where they are
// redirected.
//
// Setting LUMEN_GL_TRACE in the environment writes one line to standard
// error for every mute state sent to the music. LUMEN_TEST_HOLD_MS=T holds
// the show at T ms (the music plays on) until a key or a close request ends
// it: for tests that compare the window's pixels with a rendered frame.
#include <getopt.h>

#include <cstdio>
#include <cstdlib>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "frontends/common/program_files.h"
#include "frontends/gl/gl_window.h"
#include "frontends/gl/text_mode_renderer.h"
#include "frontends/gl/window_frame.h"

namespace {

constexpr int kExitFailure = -1;   // like every other failure that stops the show

const char kUsage[] =
    "usage: demo_gl [--from SECONDS]\n"
    "\n"
    "Plays the show in an OpenGL window that emulates text mode, with its music\n"
    "track qx3.mp3, read from ./ or ../data/, else from beside the program or\n"
    "its installed data directory.\n"
    "\n"
    "Keys: Escape quits, M (on release) mutes and unmutes the music, F1 (on\n"
    "release) switches between the 640 x 400 window and full screen.\n"
    "\n"
    "  --from SECONDS start the show that far in (0 to 200, e.g. 100 or 12.5);\n"
    "                 the music starts there too\n"
    "  --help         show this text\n";

// The options; exits on --help (0) and on a bad argument (2).
uint32_t ParseArguments(int argc, char** argv) {
  static const option kOptions[] = {
      {"help", no_argument, nullptr, 'h'}, {"from", required_argument, nullptr, 'f'}, {nullptr, 0, nullptr, 0}};
  uint32_t startMs = 0;
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    if (c == 'h') {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (c == 'f' && ParseStartSeconds("demo_gl", optarg, &startMs)) continue;
    if (c != 'f') {
      std::fprintf(stderr, "demo_gl: %s %s\n%s", c == ':' ? "missing value for" : "unknown option", argv[optind - 1],
                   kUsage);
    }
    std::exit(2);
  }
  if (optind < argc) {
    std::fprintf(stderr, "demo_gl: unexpected argument %s\n%s", argv[optind], kUsage);
    std::exit(2);
  }
  return startMs;
}

class WindowPorts : public FrameLoopPorts {
 public:
  explicit WindowPorts(MusicPlayer* player)
      : player_(player), trace_(std::getenv("LUMEN_GL_TRACE") != nullptr) {
    const char* hold = std::getenv("LUMEN_TEST_HOLD_MS");
    holding_ = hold != nullptr;
    if (holding_) holdMs_ = static_cast<uint32_t>(std::strtoul(hold, nullptr, 10));
  }

  bool windowLost = false;   // a mode switch could not reopen the window

  uint32_t TickMs() override { return WindowTicksMs(); }
  void SleepMs(uint32_t ms) override { WindowSleepMs(ms); }
  bool QuitRequested() override { return false; }
  void UpdateMusic() override { player_->Update(); }
  int32_t MusicPosition(uint32_t* positionMs) override {
    if (!holding_) return player_->Position(positionMs);
    *positionMs = holdMs_;
    return 0;
  }
  void SetMute(bool muted) override {
    player_->SetMute(muted);
    if (trace_) std::fprintf(stderr, "demo_gl: mute %s\n", muted ? "on" : "off");
  }
  void Present(FrameLoop& loop) override {
    if (!PresentWindowFrame(loop, *this)) {
      windowLost = true;
      loop.stop = true;
    }
  }
  size_t PollKeys(KeyRecord*, size_t) override { return 0; }

 private:
  MusicPlayer* player_;
  bool trace_;
  bool holding_ = false;   // LUMEN_TEST_HOLD_MS is set
  uint32_t holdMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const uint32_t startMs = ParseArguments(argc, argv);
  if (!DisplayNamed()) {
    std::fprintf(stderr, "demo_gl: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    return kExitFailure;
  }

  TextScreen::Get();
  AddProgramResourceDirectories();
  ResourceTable::Instance();
  MusicPlayer* player = MusicPlayer::Create();
  player->LoadTrack();
  const bool startFits = StartFitsTrack("demo_gl", startMs, player->lengthMs);

  // A window that cannot open ends the program before the show is built and
  // the music plays; the error box has told why.
  bool windowLost = startFits && !OpenWindow(false);
  if (startFits && !windowLost) {
    FrameLoop loop(ShowProgram::Window);
    loop.startMs = startMs;
    StartWindowShow(loop);
    player->StartPlayback(startMs);

    WindowPorts ports(player);
    RunFrameLoop(loop, ports);
    windowLost = ports.windowLost;
    TearDownShow();
  }

  // Every way out stops the music here: its device thread must not outlive
  // main while the process tears down its statics.
  player->Shutdown();
  delete player;
  ResourceTable::Release();
  TextScreen::Release();
  // The window and its context end with the process.
  if (!startFits) return 2;
  return windowLost ? kExitFailure : 0;
}
