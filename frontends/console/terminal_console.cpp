#include "frontends/console/terminal_console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/resources/bitmap.h"
#include "frontends/console/console_encoder.h"
#include "frontends/console/key_parser.h"

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need a lock-free flag");

std::atomic<bool> gQuitRequested{false};
std::atomic<bool> gResized{false};

extern "C" void OnQuitSignal(int) { gQuitRequested.store(true, std::memory_order_relaxed); }
extern "C" void OnResizeSignal(int) { gResized.store(true, std::memory_order_relaxed); }

constexpr int kFallbackColumns = 80;   // a terminal that reports no size
constexpr int kFallbackRows = 24;
constexpr size_t kPendingKeys = 512;   // key records held between polls
constexpr int kWriteStallMs = 100;     // wait for a non-blocking terminal to drain

constexpr const char* kLeaveSequence =
    "\x1b[?2026l"   // end a synchronised update an interrupted frame left open
    "\x1b[0m"       // default colours
    "\x1b[?7h"      // autowrap on
    "\x1b[?25h"     // cursor shown
    "\x1b[?1049l"   // main screen, cursor where it was
    "\x1b[23;0t";   // previous title from the title stack

// Everything the console holds between set-up and restoration. A namespace
// scope object: built before main, so it outlives the atexit restoration.
struct Terminal {
  bool opened = false;
  bool setUp = false;
  int termiosFd = -1;        // the terminal whose modes are changed
  int inputFd = -1;          // standard input when it is the terminal, else -1
  int outputFd = -1;         // the terminal, duplicated from standard output
  termios savedModes{};
  bool haveSavedModes = false;
  std::FILE* held = nullptr; // standard output during the show
  int savedStdout = -1;

  bool trueColour = false;
  float coverage[kShadeCount] = {};
  ConsoleEncoder encoder;
  std::string frame;
  size_t lastFrameBytes = 0;

  ConsoleKeyParser parser;
  KeyRecord pending[kPendingKeys] = {};
  size_t pendingCount = 0;
};

Terminal gTerminal;

// Writes all of bytes, riding out signals and a terminal opened
// non-blocking; gives up on any other error (a hung-up terminal).
void WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kWriteStallMs) <= 0) return;
    } else {
      return;
    }
  }
}

void WriteAll(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

void TerminalSize(int fd, int* columns, int* rows) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    *columns = size.ws_col;
    *rows = size.ws_row;
    return;
  }
  *columns = kFallbackColumns;
  *rows = kFallbackRows;
}

bool TerminalHasTrueColour() {
  const char* colorterm = std::getenv("COLORTERM");
  return colorterm != nullptr && (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0);
}

void InstallHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

// Raw input without echo; signals from Ctrl+C and Ctrl+\ stay on, suspend is off.
void EnterRawMode(Terminal& t) {
  if (tcgetattr(t.termiosFd, &t.savedModes) != 0) return;
  t.haveSavedModes = true;
  termios raw = t.savedModes;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
  raw.c_lflag |= ISIG;
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VSUSP] = _POSIX_VDISABLE;
  raw.c_cc[VMIN] = 0;    // reads return at once with what is there
  raw.c_cc[VTIME] = 0;
  tcsetattr(t.termiosFd, TCSANOW, &raw);
}

// Standard output goes to a temporary file for the show; failing that it
// stays on the terminal.
void HoldStandardOutput(Terminal& t) {
  std::fflush(stdout);
  t.held = std::tmpfile();
  if (t.held == nullptr) return;
  t.savedStdout = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (t.savedStdout < 0 || dup2(fileno(t.held), STDOUT_FILENO) < 0) {
    if (t.savedStdout >= 0) close(t.savedStdout);
    t.savedStdout = -1;
    std::fclose(t.held);
    t.held = nullptr;
  }
}

void ReplayStandardOutput(Terminal& t) {
  if (t.held == nullptr) return;
  std::fflush(stdout);
  dup2(t.savedStdout, STDOUT_FILENO);
  close(t.savedStdout);
  t.savedStdout = -1;
  const int fd = fileno(t.held);
  char buffer[4096];
  ssize_t n;
  off_t offset = 0;
  while ((n = pread(fd, buffer, sizeof buffer, offset)) > 0) {
    WriteAll(STDOUT_FILENO, buffer, static_cast<size_t>(n));
    offset += n;
  }
  std::fclose(t.held);
  t.held = nullptr;
}

void RestoreAtExit() { RestoreConsole(); }

}  // namespace

bool OpenConsole(const char* programName) {
  if (!isatty(STDOUT_FILENO)) {
    std::fprintf(stderr, "%s: standard output is not a terminal\n", programName);
    return false;
  }
  Terminal& t = gTerminal;
  if (t.opened) return true;
  t.opened = true;
  InstallHandler(SIGINT, OnQuitSignal);
  InstallHandler(SIGQUIT, OnQuitSignal);
  InstallHandler(SIGHUP, OnQuitSignal);
  InstallHandler(SIGTERM, OnQuitSignal);
  InstallHandler(SIGWINCH, OnResizeSignal);
  std::atexit(RestoreAtExit);
  return true;
}

void SetUpConsole() {
  Terminal& t = gTerminal;
  if (t.setUp) return;

  // Before the terminal changes: a glyph image that fails to decode prints.
  Bitmap* glyphImage = LoadBitmap("textmodechars.png");
  MeasureGlyphCoverage(*glyphImage, t.coverage);
  ReleaseBitmap(glyphImage);
  t.trueColour = TerminalHasTrueColour();

  t.outputFd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (t.outputFd < 0) return;
  t.inputFd = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;
  t.termiosFd = t.inputFd >= 0 ? t.inputFd : t.outputFd;
  t.setUp = true;
  EnterRawMode(t);
  HoldStandardOutput(t);

  gResized.store(false);
  int columns = 0;
  int rows = 0;
  TerminalSize(t.outputFd, &columns, &rows);
  std::string start;
  start += "\x1b[?1049h";                 // alternate screen
  start += "\x1b[22;0t";                  // push icon name and title
  start += "\x1b]0;";
  start += kConsoleTitle;
  start += '\x07';
  start += "\x1b[?25l";                   // cursor hidden
  start += "\x1b[?7l";                    // autowrap off
  if (columns < kScreenWidth || rows < kScreenHeight) {
    start += "\x1b[8;50;80t";             // ask for 50 rows by 80 columns
  }
  WriteAll(t.outputFd, start.data(), start.size());

  t.encoder.Configure(columns, rows, t.trueColour, t.coverage);
  t.frame.reserve(kMaxConsoleFrameBytes);
}

void PresentConsole(const Cell* cells) {
  Terminal& t = gTerminal;
  if (!t.setUp) return;
  if (gResized.exchange(false)) {
    int columns = 0;
    int rows = 0;
    TerminalSize(t.outputFd, &columns, &rows);
    t.encoder.Configure(columns, rows, t.trueColour, t.coverage);
  }
  t.frame.clear();
  t.encoder.EncodeFrame(cells, t.frame);
  WriteAll(t.outputFd, t.frame.data(), t.frame.size());
  t.lastFrameBytes = t.frame.size();
}

size_t PollConsoleKeys(KeyRecord* records, size_t max) {
  Terminal& t = gTerminal;
  if (t.setUp && t.inputFd >= 0) {
    uint8_t bytes[256];
    size_t total = 0;
    // Each byte makes at most two records; what does not fit stays in the
    // terminal for the next poll.
    while (kPendingKeys - t.pendingCount >= 2) {
      const size_t room = std::min(sizeof bytes, (kPendingKeys - t.pendingCount) / 2);
      const ssize_t n = read(t.inputFd, bytes, room);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      total += static_cast<size_t>(n);
      for (ssize_t i = 0; i < n; ++i) t.pendingCount += static_cast<size_t>(t.parser.Feed(bytes[i], t.pending + t.pendingCount));
    }
    if (total == 0 && t.pendingCount < kPendingKeys) {
      t.pendingCount += static_cast<size_t>(t.parser.Idle(t.pending + t.pendingCount));
    }
  }
  const size_t count = std::min(max, t.pendingCount);
  for (size_t i = 0; i < count; ++i) records[i] = t.pending[i];
  for (size_t i = count; i < t.pendingCount; ++i) t.pending[i - count] = t.pending[i];
  t.pendingCount -= count;
  return count;
}

bool ConsoleQuitRequested() { return gQuitRequested.load(std::memory_order_relaxed); }

void RestoreConsole() {
  Terminal& t = gTerminal;
  if (!t.setUp) return;
  t.setUp = false;
  WriteAll(t.outputFd, kLeaveSequence);
  // Drains the output first; keys typed during the show are not left for the shell.
  if (t.haveSavedModes) tcsetattr(t.termiosFd, TCSAFLUSH, &t.savedModes);
  t.haveSavedModes = false;
  close(t.outputFd);
  t.outputFd = -1;
  ReplayStandardOutput(t);
}

size_t ConsoleLastFrameBytes() { return gTerminal.lastFrameBytes; }
