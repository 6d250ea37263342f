// Drives the console layer with known frames in a real terminal, for the
// terminal tests: shows frames 0..N-1 of the probe screen, then holds the
// last one until Escape, a quit signal or the time limit.
//
//   console_probe [--frames N] [--ready FILE] [--keys FILE] [--fatal] [--seconds S]
//
// --ready FILE  written (with the process id) once the last frame is shown
// --keys FILE   one line "virtualKey character" per key record, as they come
// --fatal       once the last frame is shown, fail like a missing resource
// Exit code: 0 after Escape or a quit signal, 3 when the time limit passed,
// 1 when standard output is not a terminal, 2 for bad arguments.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/fatal.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/terminal_console.h"
#include "tests/console/probe_screen.h"

namespace {

void WriteReadyFile(const std::string& path) {
  const std::string partial = path + ".part";
  std::FILE* f = std::fopen(partial.c_str(), "w");
  if (f == nullptr) return;
  std::fprintf(f, "%ld\n", static_cast<long>(getpid()));
  std::fclose(f);
  std::rename(partial.c_str(), path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (!OpenConsole("console_probe")) return 1;

  int frames = 3;
  double seconds = 20;
  bool fatal = false;
  std::string readyPath;
  std::string keysPath;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--frames") == 0 && hasValue) frames = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) seconds = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--ready") == 0 && hasValue) readyPath = argv[++i];
    else if (std::strcmp(argv[i], "--keys") == 0 && hasValue) keysPath = argv[++i];
    else if (std::strcmp(argv[i], "--fatal") == 0) fatal = true;
    else {
      std::fprintf(stderr, "console_probe: bad argument %s\n", argv[i]);
      return 2;
    }
  }
  if (frames < 1) frames = 1;

  ResourceTable::Instance();
  SetUpConsole();
  std::FILE* keys = keysPath.empty() ? nullptr : std::fopen(keysPath.c_str(), "w");

  std::vector<Cell> cells(kScreenCells);
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  bool stop = false;
  for (int frame = 0; !stop && !ConsoleQuitRequested(); ++frame) {
    ProbeScreen(frame < frames ? frame : frames - 1, cells.data());
    PresentConsole(cells.data());
    if (frame == frames - 1) {
      if (!readyPath.empty()) WriteReadyFile(readyPath);
      if (fatal) Fatal("resource \"%s\" not found\n", "probe.png");
    }
    KeyRecord records[64];
    const size_t n = PollConsoleKeys(records, 64);
    for (size_t i = 0; i < n; ++i) {
      if (keys != nullptr) std::fprintf(keys, "%d %d\n", records[i].virtualKey, records[i].character);
      if (records[i].virtualKey == 27) stop = true;
    }
    if (keys != nullptr) std::fflush(keys);
    if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds)) {
      status = 3;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(16));
  }

  RestoreConsole();
  if (keys != nullptr) std::fclose(keys);
  ResourceTable::Release();
  return status;
}
