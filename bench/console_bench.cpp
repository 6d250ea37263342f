// The terminal output over the whole show: bytes per frame against a full
// redraw of every cell, and the CPU time of encoding a frame, per colour
// mode. One iteration renders all 12501 frames of the 16 ms grid
// (0..200000 ms). The palette mode sends the 16-colour codes (Ansi16) after
// one palette setting of 250 bytes.
//
// Then the terminal layer itself on a slow terminal: a pty read at a fixed
// rate by a thread that answers like a terminal, the show played on the
// wall clock's 16 ms grid, reporting the lag from each frame's clock reading
// to the end of its write and the frames skipped.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console.h"
#include "frontends/console/console_encoder.h"

namespace {

constexpr uint32_t kShowEndMs = 200000;

double Percentile(std::vector<size_t> v, double p) {
  std::sort(v.begin(), v.end());
  return static_cast<double>(v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))]);
}

void WholeShow(benchmark::State& state, int columns, int rows, bool trueColour,
               ConsoleGlyphs glyphSet = ConsoleGlyphs::Marks) {
  TextScreen* screen = TextScreen::Get();
  BuildShow();
  Bitmap* glyphs = LoadBitmap("textmodechars.png");
  float coverage[kShadeCount];
  MeasureGlyphCoverage(*glyphs, coverage);

  ConsoleEncoder diff;
  ConsoleEncoder full;
  std::string out;
  out.reserve(1 << 20);
  std::vector<size_t> bytes, fullBytes;
  double encodeSeconds = 0.0;
  for (auto _ : state) {
    diff.Configure(columns, rows, trueColour, coverage, glyphSet);
    full.Configure(columns, rows, trueColour, coverage, glyphSet);
    bytes.clear();
    fullBytes.clear();
    encodeSeconds = 0.0;
    for (uint32_t t = 0; t <= kShowEndMs; t += 16) {
      state.PauseTiming();
      RenderFrame(t);
      state.ResumeTiming();
      out.clear();
      const auto start = std::chrono::steady_clock::now();
      diff.EncodeFrame(screen->cells, out);
      encodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      bytes.push_back(out.size());
      state.PauseTiming();
      out.clear();
      full.Invalidate();
      full.EncodeFrame(screen->cells, out);
      fullBytes.push_back(out.size());
      state.ResumeTiming();
    }
  }
  const double frames = static_cast<double>(bytes.size());
  state.counters["frames"] = frames;
  state.counters["median_B"] = Percentile(bytes, 0.5);
  state.counters["p99_B"] = Percentile(bytes, 0.99);
  state.counters["max_B"] = Percentile(bytes, 1.0);
  state.counters["full_median_B"] = Percentile(fullBytes, 0.5);
  state.counters["median_share_%"] = 100.0 * Percentile(bytes, 0.5) / Percentile(fullBytes, 0.5);
  state.counters["encode_us_per_frame"] = 1e6 * encodeSeconds / frames;

  ReleaseBitmap(glyphs);
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

// A terminal that takes bytesPerSecond: reads the pty's output no faster
// and answers the queries it has read (a palette colour, the status, the
// attributes), as a terminal does once it has drawn what came before.
void SlowTerminal(int master, double bytesPerSecond) {
  const auto start = std::chrono::steady_clock::now();
  double taken = 0.0;
  std::string seen;   // the last bytes read, for queries split between reads
  char bytes[4096];
  for (;;) {
    const double allowed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * bytesPerSecond - taken;
    if (allowed < 256.0) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      continue;
    }
    const ssize_t n = read(master, bytes, std::min(sizeof bytes, static_cast<size_t>(allowed)));
    if (n <= 0) return;   // the other side is closed
    taken += static_cast<double>(n);
    const size_t fresh = seen.size();   // queries ending before this were answered
    seen.append(bytes, static_cast<size_t>(n));
    for (const auto& [query, answer] : {std::pair{"\x1b]4;0;?", "\x1b]4;0;rgb:0000/0000/0000\x07"},
                                        std::pair{"\x1b[5n", "\x1b[0n"}, std::pair{"\x1b[c", "\x1b[?1;2c"}}) {
      for (size_t at = 0; (at = seen.find(query, at)) != std::string::npos; ++at) {
        if (at + std::strlen(query) > fresh && write(master, answer, std::strlen(answer)) < 0) return;
      }
    }
    seen.erase(0, seen.size() > 8 ? seen.size() - 8 : 0);
  }
}

// state.range(0): the terminal's bytes per second; range(1): seconds of the
// show from its start.
void BM_SlowTerminal(benchmark::State& state) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    state.SkipWithError("no pty");
    return;
  }
  const winsize size{50, 80, 0, 0};
  ioctl(master, TIOCSWINSZ, &size);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  std::fflush(stdout);
  const int savedIn = dup(0), savedOut = dup(1);
  dup2(slave, 0);
  dup2(slave, 1);
  setenv("TERM", "xterm", 1);
  std::thread terminal(SlowTerminal, master, static_cast<double>(state.range(0)));

  TextScreen* screen = TextScreen::Get();
  OpenConsole("console_bench");
  ResourceTable::Instance();
  SetUpConsole({});
  BuildShow();
  std::vector<uint32_t> lagUs;
  std::vector<size_t> bytes;
  size_t skipped = 0;
  const uint32_t endMs = static_cast<uint32_t>(state.range(1)) * 1000;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t t = 0; t <= endMs; t += kFrameMs) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(t));
      const auto clockRead = std::chrono::steady_clock::now();
      RenderFrame(static_cast<uint32_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(clockRead - start).count()));
      if (!PresentConsole(screen->cells)) {
        ++skipped;
        continue;
      }
      lagUs.push_back(static_cast<uint32_t>(
          std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - clockRead).count()));
      bytes.push_back(ConsoleLastFrameBytes());
    }
  }
  RestoreConsole();
  dup2(savedIn, 0);
  dup2(savedOut, 1);
  for (const int fd : {slave, savedIn, savedOut}) close(fd);
  terminal.join();
  close(master);
  std::vector<size_t> lag(lagUs.begin(), lagUs.end());
  state.counters["shown"] = static_cast<double>(lagUs.size());
  state.counters["skipped"] = static_cast<double>(skipped);
  state.counters["lag_median_ms"] = Percentile(lag, 0.5) / 1000.0;
  state.counters["lag_p99_ms"] = Percentile(lag, 0.99) / 1000.0;
  state.counters["median_B"] = Percentile(bytes, 0.5);
  state.counters["p99_B"] = Percentile(bytes, 0.99);
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

void BM_Show80x50TrueColour(benchmark::State& s) { WholeShow(s, 80, 50, true); }
void BM_Show80x50Ansi16(benchmark::State& s) { WholeShow(s, 80, 50, false); }
void BM_Show80x24TrueColour(benchmark::State& s) { WholeShow(s, 80, 24, true); }
void BM_Show80x50Ansi16Blocks(benchmark::State& s) { WholeShow(s, 80, 50, false, ConsoleGlyphs::Blocks); }

BENCHMARK(BM_Show80x50TrueColour)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show80x50Ansi16)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show80x24TrueColour)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show80x50Ansi16Blocks)->Iterations(1)->Unit(benchmark::kMillisecond);
// 200 KB/s over the first 60 s of the show.
BENCHMARK(BM_SlowTerminal)->Args({200000, 60})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
