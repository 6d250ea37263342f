// A private X server (Xvfb) for window tests, programs started and awaited in
// the background, and looks at the server's windows and pixels: shared by the
// SDL window's tests and the Windows window program's under Wine. Every wait
// polls for its condition until a deadline far beyond any normal run, so that
// a loaded machine only makes a test slower. Needs Xvfb, xdotool and setpriv
// (util-linux) at run time.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/run_tool.h"

// After gtest, whose names X's macros would take.
#include <X11/Xutil.h>

constexpr int kDisplayWidth = 1920, kDisplayHeight = 1080;   // the virtual screen, pixels

// A command (sh syntax) run in the background, whose standard output the
// test reads; it dies with the test process at the latest.
struct Program {
  std::FILE* output;
  int pid = 0, status = -1;
  bool ended = false;

  explicit Program(const std::string& command)
      : output(popen(("echo $$; exec setpriv --pdeathsig KILL " + command).c_str(), "r")) {
    EXPECT_EQ(std::fscanf(output, "%d", &pid), 1);
  }
  ~Program() {
    if (!Ended()) kill(pid, SIGKILL);
    WaitUntil([&] { return Ended(); });
    pclose(output);
  }
  bool Ended() { return ended || (ended = waitpid(pid, &status, WNOHANG) == pid); }
  int ExitCode() const { return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1000; }
};

// A key pressed and released through XTEST, with the pointer over the
// screen's top-left corner where the show's windows lie: without a window
// manager, keys go to the window under the pointer.
inline void XdoKey(const std::string& key) {
  EXPECT_EQ(std::system(("xdotool mousemove 100 100 key " + key).c_str()), 0);
}

struct WindowInfo {
  unsigned long id = 0;
  int x = 0, y = 0, width = 0, height = 0;   // client area on the screen
};

// The mapped top-level windows titled title.
inline std::vector<WindowInfo> FindWindows(const std::string& title) {
  Display* display = XOpenDisplay(nullptr);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  std::vector<WindowInfo> found;
  for (unsigned int i = 0; i < count; ++i) {
    XTextProperty name{};
    XWindowAttributes a{};
    if (XGetWMName(display, children[i], &name) && title == std::string(reinterpret_cast<char*>(name.value), name.nitems) &&
        XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable) {
      found.push_back({children[i], a.x, a.y, a.width, a.height});
    }
    XFree(name.value);
  }
  XFree(children);
  XCloseDisplay(display);
  return found;
}

// Waits until exactly one window titled title has the client size.
inline bool WaitForWindow(const std::string& title, int width, int height, WindowInfo* found) {
  return WaitUntil([&] {
    const std::vector<WindowInfo> windows = FindWindows(title);
    if (windows.size() == 1) *found = windows[0];
    return windows.size() == 1 && found->width == width && found->height == height;
  });
}

// Asks a window to close as a window manager does (WM_DELETE_WINDOW).
inline void SendCloseRequest(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

// The screen's pixels of width x height at (x, y) as RGB bytes, row by row.
inline std::vector<uint8_t> ScreenPixels(int x, int y, int width, int height) {
  Display* display = XOpenDisplay(nullptr);
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, width, height, AllPlanes, ZPixmap);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < width * height; ++i) {
    const unsigned long p = XGetPixel(image, i % width, i / width);
    rgb.insert(rgb.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
  }
  XDestroyImage(image);
  XCloseDisplay(display);
  return rgb;
}

// An Xvfb server of the test process's own with software OpenGL (Mesa's
// llvmpipe), named in DISPLAY while it runs.
class VirtualDisplay {
 public:
  // options: more of Xvfb's (such as "-extension GLX": no OpenGL). False
  // when the server did not start.
  bool Start(const std::string& options = "") {
    server_ = std::make_unique<Program>("Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp -noreset " + options +
                                        " 2>/dev/null");
    int display = -1;
    if (std::fscanf(server_->output, "%d", &display) != 1) return false;   // written once it accepts connections
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    // A look at the windows races with the show making and closing them: a
    // window gone meanwhile is an answer, not a reason to end the process.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    unsetenv("WAYLAND_DISPLAY");
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    return true;
  }
  void Stop() {
    if (server_ == nullptr) return;
    kill(server_->pid, SIGTERM);
    WaitUntil([&] { return server_->Ended(); });
    server_.reset();
    unsetenv("DISPLAY");
  }
  ~VirtualDisplay() { Stop(); }

 private:
  std::unique_ptr<Program> server_;
};
