#include "tests/gl/test_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

pid_t gServer = -1;

int64_t NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000;
}

// argv and envp as exec wants them, built before fork: the child of a
// threaded process may only make async-signal-safe calls.
struct ExecImage {
  std::vector<std::string> argStrings, envStrings;
  std::vector<char*> argv, envp;

  ExecImage(const std::vector<std::string>& args, const std::vector<std::string>& changes) : argStrings(args) {
    for (char** e = environ; *e != nullptr; ++e) envStrings.emplace_back(*e);
    for (const std::string& change : changes) {
      const size_t eq = change.find('=');
      const std::string name = change.substr(0, eq);
      for (size_t i = 0; i < envStrings.size();) {
        if (envStrings[i].compare(0, name.size() + 1, name + "=") == 0) {
          envStrings.erase(envStrings.begin() + static_cast<long>(i));
        } else {
          ++i;
        }
      }
      if (eq != std::string::npos) envStrings.push_back(change);
    }
    for (std::string& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
  }
};

// In the child: die with the test process, then become the program.
[[noreturn]] void ExecChild(const ExecImage& image, const char* workdir, int out, int err) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (workdir != nullptr && chdir(workdir) != 0) _exit(126);
  if (out >= 0) dup2(out, STDOUT_FILENO);
  if (err >= 0) dup2(err, STDERR_FILENO);
  execve(image.argv[0], image.argv.data(), image.envp.data());
  _exit(127);
}

// Searches PATH for a program name (exec needs a path).
std::string ProgramPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return name;
}

// A look at the server's windows races with the show making and closing
// them: a window gone meanwhile is an answer, not a reason to exit. The
// handler is this process's only while one look lasts (SDL has its own).
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct ServerLook {
  Display* display = XOpenDisplay(nullptr);
  XErrorHandler previous = XSetErrorHandler(IgnoreXError);
  ~ServerLook() {
    if (display != nullptr) {
      XSync(display, False);
      XCloseDisplay(display);
    }
    XSetErrorHandler(previous);
  }
};

std::string WindowTitle(Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

}  // namespace

std::string StartVirtualDisplay() {
  // -noreset: the server would otherwise reset whenever its last client
  // leaves (each look at its windows is a short connection), dropping
  // connections made meanwhile.
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const std::string displayFd = std::to_string(fds[1]);
  const std::string screen = std::to_string(kDisplayWidth) + "x" + std::to_string(kDisplayHeight) + "x24";
  ExecImage image({ProgramPath("Xvfb"), "-displayfd", displayFd, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, {});
  const int quiet = open("/dev/null", O_WRONLY);
  const pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    close(fds[0]);
    ExecChild(image, nullptr, quiet, quiet);
  }
  close(fds[1]);
  if (quiet >= 0) close(quiet);
  gServer = pid;

  // Xvfb writes its display number once it accepts connections.
  std::string number;
  const int64_t deadline = NowMs() + 15000;
  while (NowMs() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready > 0) {
      char buffer[32];
      const ssize_t got = read(fds[0], buffer, sizeof buffer);
      if (got <= 0) break;
      number.append(buffer, static_cast<size_t>(got));
      if (number.find('\n') != std::string::npos) break;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      gServer = -1;
      close(fds[0]);
      return "Xvfb ended at start-up (is the xvfb package installed?)";
    }
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) {
    StopVirtualDisplay();
    return "Xvfb did not report a display number";
  }
  const std::string display = ":" + number;
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  // The private server has no session bus; without this, libdbus would try
  // to launch one for SDL through the X server.
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
  return {};
}

void StopVirtualDisplay() {
  if (gServer <= 0) return;
  kill(gServer, SIGTERM);
  int status = 0;
  const int64_t deadline = NowMs() + 5000;
  while (waitpid(gServer, &status, WNOHANG) == 0) {
    if (NowMs() > deadline) {
      kill(gServer, SIGKILL);
      waitpid(gServer, &status, 0);
      break;
    }
    SleepMs(10);
  }
  gServer = -1;
}

ChildProcess Spawn(const std::vector<std::string>& argv, const std::string& workdir,
                   const std::vector<std::string>& environment, const std::string& outPath,
                   const std::string& errPath) {
  ExecImage image(argv, environment);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ChildProcess child;
  child.pid = fork();
  if (child.pid == 0) ExecChild(image, workdir.c_str(), out, err);
  if (out >= 0) close(out);
  if (err >= 0) close(err);
  if (child.pid < 0) child.ended = true;
  return child;
}

bool WaitForExit(ChildProcess& child, int timeoutMs) {
  if (child.ended) return true;
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const pid_t got = waitpid(child.pid, &child.status, WNOHANG);
    if (got == child.pid) {
      child.ended = true;
      return true;
    }
    if (NowMs() > deadline) return false;
    SleepMs(10);
  }
}

void KillChild(ChildProcess& child) {
  if (child.ended || child.pid <= 0) return;
  kill(child.pid, SIGKILL);
  waitpid(child.pid, &child.status, 0);
  child.ended = true;
}

int ExitCode(const ChildProcess& child) {
  if (!child.ended) return -2000;
  if (WIFEXITED(child.status)) return WEXITSTATUS(child.status);
  if (WIFSIGNALED(child.status)) return -1000 - WTERMSIG(child.status);
  return -3000;
}

int RunCommand(const std::vector<std::string>& argv, int timeoutMs, std::string* output) {
  std::vector<std::string> args = argv;
  args[0] = ProgramPath(args[0]);
  ExecImage image(args, {});
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    close(fds[0]);
    ExecChild(image, nullptr, fds[1], fds[1]);
  }
  close(fds[1]);
  std::string text;
  const int64_t deadline = NowMs() + timeoutMs;
  int status = 0;
  bool ended = false;
  while (!ended) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 10) > 0) {
      char buffer[1024];
      const ssize_t got = read(fds[0], buffer, sizeof buffer);
      if (got > 0) text.append(buffer, static_cast<size_t>(got));
    }
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended && NowMs() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(fds[0]);
      return -1;
    }
  }
  char buffer[1024];
  ssize_t got;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  close(fds[0]);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool XdoKey(const char* action, const char* key) {
  return RunCommand({"xdotool", "mousemove", "100", "100"}, 5000) == 0 &&
         RunCommand({"xdotool", action, key}, 5000) == 0;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void SleepMs(int ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

std::vector<WindowInfo> FindWindows(const std::string& title) {
  std::vector<WindowInfo> found;
  ServerLook look;
  Display* display = look.display;
  if (display == nullptr) return found;
  const Window root = DefaultRootWindow(display);
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) != 0) {
    for (unsigned int i = 0; i < count; ++i) {
      if (WindowTitle(display, children[i]) != title) continue;
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) == 0) continue;
      WindowInfo info;
      info.id = children[i];
      info.width = attributes.width;
      info.height = attributes.height;
      info.mapped = attributes.map_state == IsViewable;
      Window child = 0;
      XTranslateCoordinates(display, children[i], root, 0, 0, &info.x, &info.y, &child);
      if (info.mapped) found.push_back(info);
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

bool WaitForWindow(const std::string& title, int width, int height, int timeoutMs, WindowInfo* found) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const std::vector<WindowInfo> windows = FindWindows(title);
    if (windows.size() == 1 && windows[0].width == width && windows[0].height == height) {
      if (found != nullptr) *found = windows[0];
      return true;
    }
    if (NowMs() > deadline) return false;
    SleepMs(50);
  }
}

bool SendCloseRequest(unsigned long window) {
  ServerLook look;
  Display* display = look.display;
  if (display == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  return XSendEvent(display, window, False, NoEventMask, &event) != 0;
}

uint32_t ScreenPixel(int x, int y) {
  ServerLook look;
  Display* display = look.display;
  if (display == nullptr) return 0xFFFFFFFFu;
  uint32_t rgb = 0xFFFFFFFFu;
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  if (image != nullptr) {
    const unsigned long p = XGetPixel(image, 0, 0);
    rgb = static_cast<uint32_t>(p & 0xFFFFFF);   // 24-bit TrueColor: 0xRRGGBB
    XDestroyImage(image);
  }
  return rgb;
}
