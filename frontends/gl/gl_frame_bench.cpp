// demo_gl_bench: how the window program keeps time. Runs the show in the
// real window through the shared frame loop, with the wall clock in place of
// the music, and reports late frames and the CPU time of presenting; then
// times the decode and draw of one frame on their own.
//
//   demo_gl_bench [--seconds S] [--from MS] [--draws N]
#include <GL/gl.h>

#include <getopt.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"
#include "frontends/gl/gl_window.h"
#include "frontends/gl/text_mode_renderer.h"
#include "frontends/gl/window_frame.h"

namespace {

// Milliseconds of a clock: CPU time of the process or thread, or wall time.
double ClockMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// The show's clock from the wall clock: position = ms since start + from,
// until `seconds` have passed; then 0 with 36, as a finished track reports.
class BenchPorts : public FrameLoopPorts {
 public:
  BenchPorts(uint32_t fromMs, uint32_t lengthMs) : fromMs_(fromMs), lengthMs_(lengthMs), start_(WindowTicksMs()) {}

  uint32_t frames = 0;        // frames presented
  // The deadline is taken before the show is built, so the first frames run
  // back to back until the grid is reached; they are counted apart.
  uint32_t catchUp = 0;       // frames before the first one that ended in time
  uint32_t late = 0;          // later frames that finished after the next frame's start on the grid
  uint32_t dropped = 0;       // later frames that finished a whole frame or more behind the grid
  double presentCpuMs = 0;    // process CPU time (all threads) spent in Present
  double presentMaxCpuMs = 0;
  double presentThreadCpuMs = 0;  // the calling thread's part
  double presentWallMs = 0;

  uint32_t TickMs() override { return WindowTicksMs(); }
  void SleepMs(uint32_t ms) override { WindowSleepMs(ms); }
  bool QuitRequested() override { return false; }
  void UpdateMusic() override {}
  int32_t MusicPosition(uint32_t* positionMs) override {
    const uint32_t elapsed = WindowTicksMs() - start_;
    if (elapsed >= lengthMs_) {
      *positionMs = 0;
      return 36;
    }
    *positionMs = fromMs_ + elapsed;
    return 0;
  }
  void SetMute(bool) override {}
  void Present(FrameLoop& loop) override {
    const double before = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    const double threadBefore = ClockMs(CLOCK_THREAD_CPUTIME_ID);
    const double wallBefore = ClockMs(CLOCK_MONOTONIC);
    if (!PresentWindowFrame(loop, *this)) {
      loop.stop = true;
      return;
    }
    const double spent = ClockMs(CLOCK_PROCESS_CPUTIME_ID) - before;
    presentCpuMs += spent;
    if (spent > presentMaxCpuMs) presentMaxCpuMs = spent;
    presentThreadCpuMs += ClockMs(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
    presentWallMs += ClockMs(CLOCK_MONOTONIC) - wallBefore;
    ++frames;
    // loop.deadline already names the next frame's start.
    const int32_t behind = static_cast<int32_t>(WindowTicksMs() - loop.deadline);
    if (frames == catchUp + 1 && behind > 0) {
      ++catchUp;
      return;
    }
    if (behind > 0) ++late;
    if (behind >= static_cast<int32_t>(kFrameMs)) ++dropped;
  }
  size_t PollKeys(KeyRecord*, size_t) override { return 0; }

 private:
  uint32_t fromMs_;
  uint32_t lengthMs_;
  uint32_t start_;
};

uint32_t ParseNumber(const char* option, const char* text) {
  char* end = nullptr;
  const unsigned long v = text != nullptr ? std::strtoul(text, &end, 10) : 0;
  if (text == nullptr || end == text || *end != '\0' || v > 0xFFFFFFFFul) {
    std::fprintf(stderr, "demo_gl_bench: %s needs a number\n", option);
    std::exit(2);
  }
  return static_cast<uint32_t>(v);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t seconds = 20, fromMs = 0, draws = 500;
  static const option kOptions[] = {{"seconds", required_argument, nullptr, 's'},
                                    {"from", required_argument, nullptr, 'f'},
                                    {"draws", required_argument, nullptr, 'd'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 's': seconds = ParseNumber("--seconds", optarg); break;
      case 'f': fromMs = ParseNumber("--from", optarg); break;
      case 'd': draws = ParseNumber("--draws", optarg); break;
      default:
        std::fprintf(stderr, "usage: demo_gl_bench [--seconds S] [--from MS] [--draws N]\n");
        return 2;
    }
  }
  if (optind < argc) {
    std::fprintf(stderr, "usage: demo_gl_bench [--seconds S] [--from MS] [--draws N]\n");
    return 2;
  }
  if (!DisplayNamed()) {
    std::fprintf(stderr, "demo_gl_bench: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    return 1;
  }

  TextScreen::Get();
  ResourceTable::Instance();
  if (!OpenWindow(false)) return 1;
  FrameLoop loop(ShowProgram::Window);
  StartWindowShow(loop);

  // The frame loop with the wall clock as the music.
  BenchPorts ports(fromMs, seconds * 1000);
  const double loopCpu = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  RunFrameLoop(loop, ports);
  const double perFrame = ports.frames ? 1.0 / ports.frames : 0.0;
  const uint32_t steady = ports.frames - ports.catchUp;
  const double perSteady = steady ? 100.0 / steady : 0.0;
  std::printf("loop: %u frames in %u s (%.1f per s), the first %u catching up after start-up; of the other %u, "
              "%u finished after the next frame's start (%.2f%%), %u a whole frame behind (%.2f%%)\n",
              ports.frames, seconds, ports.frames / static_cast<double>(seconds ? seconds : 1), ports.catchUp, steady,
              ports.late, ports.late * perSteady, ports.dropped, ports.dropped * perSteady);
  std::printf("loop: process CPU %.3f ms per frame; present %.3f ms CPU (all threads, max %.3f), "
              "%.3f ms CPU (main thread), %.3f ms wall\n",
              (ClockMs(CLOCK_PROCESS_CPUTIME_ID) - loopCpu) * perFrame, ports.presentCpuMs * perFrame,
              ports.presentMaxCpuMs, ports.presentThreadCpuMs * perFrame, ports.presentWallMs * perFrame);

  // The engine's frame alone, then decode and draw alone on one frame of the
  // show: the calling thread's CPU time, then with the swap and the
  // rasterisation finished (every thread).
  double render = ClockMs(CLOCK_THREAD_CPUTIME_ID);
  for (uint32_t i = 0; i < draws; ++i) RenderFrame(fromMs + 1500 + i * kFrameMs);
  render = ClockMs(CLOCK_THREAD_CPUTIME_ID) - render;
  std::printf("render frame: %.3f ms CPU per frame\n", draws ? render / draws : 0.0);
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  double thread = ClockMs(CLOCK_THREAD_CPUTIME_ID);
  for (uint32_t i = 0; i < draws; ++i) {
    PrepareGlyphCells();
    DrawTextScreen(width, height);
  }
  glFinish();
  thread = ClockMs(CLOCK_THREAD_CPUTIME_ID) - thread;
  double process = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  for (uint32_t i = 0; i < draws; ++i) {
    PrepareGlyphCells();
    DrawTextScreen(width, height);
    SwapWindowBuffers();
  }
  glFinish();
  process = ClockMs(CLOCK_PROCESS_CPUTIME_ID) - process;
  std::printf("prepare + draw: %.3f ms CPU per frame (main thread); with swap: %.3f ms CPU per frame (all threads)\n",
              draws ? thread / draws : 0.0, draws ? process / draws : 0.0);

  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
  return 0;
}
