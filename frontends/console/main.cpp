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
#include <cstring>
#include <thread>
#include <vector>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "frontends/common/program_files.h"
#include "frontends/console/console.h"

namespace {

const char kUsage[] =
    "usage: demo_console [--from SECONDS] [--colour=auto|palette|truecolour|16] [--glyphs=marks|blocks] [--stats]\n"
    "\n"
    "Plays the show in this terminal or console (80 x 50 cells, or scaled to fit\n"
    "in a terminal) with its music track qx3.mp3, read from ./ or ../data/, else\n"
    "from beside the program or its installed data directory.\n"
    "\n"
    "Keys: Escape quits, m mutes and unmutes the music. Ctrl+C also quits.\n"
    "\n"
    "  --from SECONDS start the show that far in (0 to 200, e.g. 100 or 12.5);\n"
    "                 the music starts there too\n"
    "  --colour=MODE  how a terminal shows the show's 16 colours (a Windows\n"
    "                 console always uses its own 16):\n"
    "                   palette     sets the terminal's colours 0-15 to the show's\n"
    "                               and draws with the short 16-colour codes; the\n"
    "                               terminal's palette is given back at the end\n"
    "                   truecolour  24-bit colour codes (about twice the bytes)\n"
    "                   16          the 16 colour codes in the terminal's own colours\n"
    "                   auto        palette where the terminal answers a palette\n"
    "                               query, else truecolour where COLORTERM is\n"
    "                               truecolor or 24bit, else 16 (the default)\n"
    "  --glyphs=SET   the characters a terminal shades with:\n"
    "                   marks       the 8 x 8 font's marks (dot, bullet, plus,\n"
    "                               arrow, circles, sun as a fisheye, section sign)\n"
    "                   blocks      space, light, medium and dark shade and full\n"
    "                               block, whose ink does not depend on the font\n"
    "                 (default blocks)\n"
    "  --stats        after the show, prints the frames shown and skipped (a\n"
    "                 frame is skipped while the terminal still draws the one\n"
    "                 before), the lag from a frame's music clock reading to the\n"
    "                 end of its write, and the bytes per frame shown\n"
    "                 (LUMEN_FRAME_STATS=1 in the environment does the same)\n";

using SteadyClock = std::chrono::steady_clock;

// An option's value by name.
template <class T>
struct Named {
  const char* name;
  T value;
};
template <class T, size_t N>
bool FindNamed(const Named<T> (&table)[N], const char* name, T* value) {
  for (const Named<T>& entry : table) {
    if (std::strcmp(entry.name, name) != 0) continue;
    *value = entry.value;
    return true;
  }
  return false;
}

// Frames shown and skipped, each shown frame's lag and bytes; collected only
// when asked for, into storage reserved for the whole show.
struct FrameStats {
  bool enabled = false;
  size_t skipped = 0;
  std::vector<uint32_t> lagUs;
  std::vector<size_t> bytes;

  template <class T>
  static T Percentile(std::vector<T> v, size_t percent) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) * percent / 100];
  }
  void Print() const {
    if (!enabled || lagUs.empty()) return;
    std::fprintf(stderr,
                 "demo_console: %zu frames shown, %zu skipped; lag median %.1f ms, 99th percentile %.1f ms; "
                 "bytes per frame median %zu, 99th percentile %zu\n",
                 lagUs.size(), skipped, Percentile(lagUs, 50) / 1000.0, Percentile(lagUs, 99) / 1000.0,
                 Percentile(bytes, 50), Percentile(bytes, 99));
  }
};

class ConsolePorts final : public FrameLoopPorts {
 public:
  ConsolePorts(MusicPlayer& music, FrameStats& stats) : music_(music), stats_(stats) {}

  uint32_t TickMs() override {
    const auto now = SteadyClock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void SleepMs(uint32_t ms) override {
    // Only 1 ms sleeps: a quit request waits at most that long.
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  bool QuitRequested() override { return ConsoleQuitRequested(); }
  void UpdateMusic() override { music_.Update(); }
  int32_t MusicPosition(uint32_t* positionMs) override {
    clockRead_ = SteadyClock::now();
    return music_.Position(positionMs);
  }
  void SetMute(bool muted) override { music_.SetMute(muted); }
  void Present(FrameLoop&) override {
    const bool shown = PresentConsole(TextScreen::Get()->cells);
    if (!stats_.enabled) return;
    if (!shown) {
      ++stats_.skipped;
      return;
    }
    const auto lag = std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - clockRead_);
    stats_.lagUs.push_back(static_cast<uint32_t>(lag.count()));
    stats_.bytes.push_back(ConsoleLastFrameBytes());
  }
  size_t PollKeys(KeyRecord* records, size_t max) override { return PollConsoleKeys(records, max); }

 private:
  MusicPlayer& music_;
  FrameStats& stats_;
  SteadyClock::time_point clockRead_{};
};

// The show in the opened console, from startMs, until it ends.
void PlayShow(MusicPlayer& music, const ConsoleOptions& options, uint32_t startMs, FrameStats& stats) {
  SetUpConsole(options);
  if (stats.enabled) {
    stats.lagUs.reserve(16384);   // the whole show, so that no frame allocates
    stats.bytes.reserve(16384);
  }
  ConsolePorts ports(music, stats);
  FrameLoop loop(ShowProgram::Console);
  loop.deadline = ports.TickMs();   // before the build: the first frames catch up
  loop.startMs = startMs;
  BuildShow();
  music.StartPlayback(startMs);
  RunFrameLoop(loop, ports);
  TearDownShow();
}

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"colour", required_argument, nullptr, 'c'},
                                    {"glyphs", required_argument, nullptr, 'g'},
                                    {"stats", no_argument, nullptr, 's'},
                                    {"from", required_argument, nullptr, 'f'},
                                    {nullptr, 0, nullptr, 0}};
  static const Named<ConsoleColour> kColours[] = {{"auto", ConsoleColour::Auto},
                                                  {"palette", ConsoleColour::Palette},
                                                  {"truecolour", ConsoleColour::TrueColour},
                                                  {"16", ConsoleColour::Ansi16}};
  static const Named<ConsoleGlyphs> kGlyphs[] = {{"marks", ConsoleGlyphs::Marks}, {"blocks", ConsoleGlyphs::Blocks}};
  ConsoleOptions options;
  uint32_t startMs = 0;
  FrameStats stats;
  stats.enabled = std::getenv("LUMEN_FRAME_STATS") != nullptr;
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    if (c == 'h') {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (c == 's') {
      stats.enabled = true;
      continue;
    }
    if (c == 'f' && ParseStartSeconds("demo_console", optarg, &startMs)) continue;
    if (c == 'f') return 2;
    if (c == 'c' && FindNamed(kColours, optarg, &options.colour)) continue;
    if (c == 'g' && FindNamed(kGlyphs, optarg, &options.glyphs)) continue;
    if (c == 'c' || c == 'g') {
      std::fprintf(stderr, "demo_console: unknown %s %s\n%s", c == 'c' ? "colour mode" : "glyph set", optarg, kUsage);
      return 2;
    }
    std::fprintf(stderr, "demo_console: %s %s\n%s", c == ':' ? "missing value for" : "unknown option", argv[optind - 1],
                 kUsage);
    return 2;
  }
  if (optind < argc) {
    std::fprintf(stderr, "demo_console: unexpected argument %s\n%s", argv[optind], kUsage);
    return 2;
  }
  if (!OpenConsole("demo_console")) return 1;

  TextScreen::Get();
  AddProgramResourceDirectories();
  ResourceTable::Instance();
  MusicPlayer* music = MusicPlayer::Create();
  music->LoadTrack();
  const bool startFits = StartFitsTrack("demo_console", startMs, music->lengthMs);
  if (startFits) PlayShow(*music, options, startMs, stats);

  music->Shutdown();
  delete music;
  ResourceTable::Release();
  TextScreen::Release();
  RestoreConsole();
  if (!startFits) return 2;
  stats.Print();
  return 0;
}
