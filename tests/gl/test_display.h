// What the window tests need around them: a private X server (Xvfb) for the
// test process with software OpenGL, child processes bounded in time, and a
// few looks at the server's windows and pixels.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int kDisplayWidth = 1920;    // the virtual screen, pixels
constexpr int kDisplayHeight = 1080;

// Starts Xvfb on a display number it picks itself, and points DISPLAY at it
// (with software GL, the X11 video driver, no Wayland and no session bus) for this process
// and its children. The server dies with the test process. Empty on success,
// else why not.
std::string StartVirtualDisplay();
void StopVirtualDisplay();

// A child program: argv[0] is its path. It runs in workdir with extra
// environment entries ("NAME=value", or "NAME" alone to remove one), its
// standard output and error going to files; it dies with the test process.
struct ChildProcess {
  pid_t pid = -1;
  int status = -1;   // the raw wait status once it has ended
  bool ended = false;
};
ChildProcess Spawn(const std::vector<std::string>& argv, const std::string& workdir,
                   const std::vector<std::string>& environment, const std::string& outPath,
                   const std::string& errPath);
// Waits up to timeoutMs for the child to end; true when it has.
bool WaitForExit(ChildProcess& child, int timeoutMs);
// Kills (SIGKILL) and reaps a child that still runs.
void KillChild(ChildProcess& child);
// The exit code of an ended child; -1000 - signal when a signal ended it.
int ExitCode(const ChildProcess& child);

// Runs a short command (xdotool) to its end, at most timeoutMs; its exit code,
// or -1 when it could not run or was killed for taking too long.
int RunCommand(const std::vector<std::string>& argv, int timeoutMs, std::string* output = nullptr);

// Sends a key event through xdotool (XTEST) after moving the pointer over
// the screen's top-left corner, where the show's windows lie: without a
// window manager, keys go to the window under the pointer.
bool XdoKey(const char* action /* "keydown" or "keyup" */, const char* key);

std::string ReadFileText(const std::string& path);
void SleepMs(int ms);

// The X server's view of the show's windows.
struct WindowInfo {
  unsigned long id = 0;
  int x = 0, y = 0;              // client area's top-left on the screen
  int width = 0, height = 0;     // client area
  bool mapped = false;
};
// Mapped top-level windows whose title is title.
std::vector<WindowInfo> FindWindows(const std::string& title);
// Polls until exactly one mapped window titled title has the given client
// size, at most timeoutMs.
bool WaitForWindow(const std::string& title, int width, int height, int timeoutMs, WindowInfo* found);
// Asks the window to close as a window manager does (WM_DELETE_WINDOW).
bool SendCloseRequest(unsigned long window);
// The screen's pixel at (x, y) as 0xRRGGBB.
uint32_t ScreenPixel(int x, int y);
