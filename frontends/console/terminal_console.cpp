// The console on a POSIX terminal: raw input without echo, the alternate
// screen with the cursor hidden and autowrap off, the show's title (the
// previous one pushed on the title stack), a resize request when smaller
// than 80 x 50 (undone at the end, to the size the terminal reports when
// asked first), and only the changed cells written each frame, in one write
// (ConsoleEncoder).
//
// Ways out: normal end, Escape, SIGINT, SIGQUIT, SIGHUP, SIGTERM, exit()
// from a fatal failure through atexit, and the crash signals SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT, which then end the program as they would have:
// the default action, or the handler that was there before, such as a
// sanitizer's. Keys are read from standard input when it is a terminal, else
// from /dev/tty. Ctrl+C and Ctrl+\ stay signals (the terminal keeps ISIG):
// they arrive as SIGINT and SIGQUIT whatever the frame loop is doing.
// Suspending (Ctrl+Z) is switched off for the show, since a stopped show
// would leave the terminal raw.
//
// OpenConsole also needs TERM to name a terminal that can move the cursor
// (not unset, empty or "dumb"). SetUpConsole reads "textmodechars.png" for
// the glyph coverage before it changes anything, so that a glyph image that
// fails to decode prints on the main screen. Standard output is held in a
// temporary file and replayed on the main screen. A resize since the last
// frame, or a write the terminal did not take whole, makes the next frame a
// full redraw. ConsoleLastFrameBytes counts the frame's bytes, wrapper
// included.
//
// At set-up the terminal is asked, in one go, for colour 0 of its palette
// (OSC 4), its status (CSI 5 n) and its attributes (CSI c, which every
// terminal answers, so that the wait ends as soon as that answer is in).
// A terminal that answers the palette query gets the show's 16 colours in
// its palette (ConsoleColour::Palette under Auto), given back with OSC 104 in
// the leave sequence. A terminal that answers the status request gets one at
// the end of every frame, and the next frame is written only once its
// answer is in: the terminal has then drawn the frame, so that no frame
// waits behind another in the terminal's queue.
//
// A slow terminal also gets frames it can take within a frame period: the
// time from the start of a frame's write to its answer gives the terminal's
// drain rate (bytes per second, smoothed), and a frame then carries at
// most a frame period's worth of it (never under kMinFrameBudget); the
// cells left out go in the following frames. Else a large frame would hold
// the show in write() for several frame periods, as a pty takes only a few
// KB ahead of its reader. The answer is seen only at the next frame, so a
// frame answered there says only that the terminal kept up: the estimate
// then grows, a cut frame at a time, until the budget no longer binds.
#include "frontends/console/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/resources/bitmap.h"
#include "frontends/console/ansi.h"
#include "frontends/console/console_encoder.h"
#include "frontends/console/key_parser.h"

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need a lock-free flag");

std::atomic<bool> gQuitRequested{false};
std::atomic<bool> gResized{false};
// Set while the terminal is changed; whoever clears it (RestoreConsole or a
// crash handler) gives the terminal back.
std::atomic<bool> gTaken{false};

extern "C" void OnQuitSignal(int) { gQuitRequested.store(true, std::memory_order_relaxed); }
extern "C" void OnResizeSignal(int) { gResized.store(true, std::memory_order_relaxed); }

constexpr int kFallbackColumns = 80;   // a terminal that reports no size
constexpr int kFallbackRows = 24;
constexpr size_t kPendingKeys = 512;   // key records held between polls
constexpr int kWriteStallMs = 100;     // wait for a non-blocking terminal to drain
constexpr int kSizeReplyMs = 150;      // wait for the answer to the text area size query
constexpr int kMaxAnsweredSize = 9999; // larger answers (cells) are not believed
constexpr int kSetUpAnswerMs = 300;    // wait for the answers to the set-up queries
// A status answer this late (ms) is taken as lost: frames are written again.
constexpr int kStatusStallMs = 1000;
constexpr const char* kStatusRequest = "\x1b[5n";
// The smallest frame budget (bytes), so that a frame always makes progress.
constexpr size_t kMinFrameBudget = 2048;
// Weight of a new drain rate measurement in the smoothed rate (0..1).
constexpr double kDrainSmoothing = 0.25;
// Growth of the drain rate each time the terminal keeps up with a cut frame.
constexpr double kDrainGrowth = 1.125;

// Faults (and abort) that end the program at once: the terminal is given
// back, then the signal takes its course as if no handler had been there.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kCrashSignalCount = sizeof kCrashSignals / sizeof kCrashSignals[0];

constexpr const char* kLeaveSequence =
    "\x1b[?2026l"   // end a synchronised update an interrupted frame left open
    "\x1b[0m"       // default colours
    "\x1b[?7h"      // autowrap on
    "\x1b[?25h"     // cursor shown
    "\x1b[?1049l"   // main screen, cursor where it was
    "\x1b[23;0t";   // previous title from the title stack
// Room for the leave sequence, the palette reset and the largest size given
// back (two 16-bit counts), so that none is ever cut short.
constexpr size_t kLeaveBytes = 96;
static_assert(std::char_traits<char>::length(kLeaveSequence) + std::char_traits<char>::length(kPaletteReset) +
                      sizeof "\x1b[8;65535;65535t" <=
                  kLeaveBytes,
              "the leave buffer must hold the sequence, a palette reset and a size request");

// Everything the console holds between set-up and restoration. A namespace
// scope object: built before main, so it outlives the atexit restoration.
struct Terminal {
  bool opened = false;
  bool setUp = false;
  int termiosFd = -1;        // the terminal whose modes are changed
  int inputFd = -1;          // standard input when it is a terminal, else /dev/tty, else -1
  bool inputOpened = false;  // inputFd is /dev/tty, opened here
  int outputFd = -1;         // the terminal, duplicated from standard output
  termios savedModes{};
  bool haveSavedModes = false;
  char leave[kLeaveBytes] = {};   // the bytes that give the screen back, made before it changes,
  size_t leaveSize = 0;      // so that a crash handler only writes them
  struct sigaction crashActions[kCrashSignalCount] = {};   // the actions before ours
  std::FILE* held = nullptr; // standard output during the show
  int savedStdout = -1;

  bool trueColour = false;
  ConsoleGlyphs glyphs = ConsoleGlyphs::Marks;
  bool answersStatus = false;   // the terminal answered the set-up status request
  uint32_t statusRequested = 0; // frames' status requests sent whole
  std::chrono::steady_clock::time_point requestedAt{};   // the last of them
  // The frame carrying the last status request: when its write began, its
  // bytes, whether it left changes out, and the last frame skipped for it.
  std::chrono::steady_clock::time_point writeBegan{};
  size_t writeBytes = 0;
  bool writeCut = false;
  bool measured = true;       // its answer has been taken into drainRate
  bool skippedForIt = false;
  std::chrono::steady_clock::time_point skippedAt{};
  double drainRate = 0.0;     // bytes per second the terminal draws; 0: not measured, or fast
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
// non-blocking; gives up on any other error (a hung-up terminal) or a stall,
// returning false. Async-signal-safe.
bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kWriteStallMs) <= 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

void WriteAll(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

// Screen, then modes (which drains the output first; keys typed during the
// show are not left for the shell). Async-signal-safe: write, poll and
// tcsetattr only.
void GiveBackTerminal(const Terminal& t) {
  WriteAll(t.outputFd, t.leave, t.leaveSize);
  if (t.haveSavedModes) tcsetattr(t.termiosFd, TCSAFLUSH, &t.savedModes);
}

// Installed with SA_RESETHAND, so a fault inside it ends the program. The
// action from before is put back; a signal that was sent is sent again, a
// fault happens again when the instruction reruns. Either way it then gets
// the default action (exit status and core dump) or a sanitizer's report.
extern "C" void OnCrashSignal(int signal, siginfo_t* info, void*) {
  const int savedErrno = errno;
  if (gTaken.exchange(false)) GiveBackTerminal(gTerminal);
  for (int i = 0; i < kCrashSignalCount; ++i) {
    if (kCrashSignals[i] == signal) sigaction(signal, &gTerminal.crashActions[i], nullptr);
  }
  if (info->si_code <= 0) raise(signal);   // SI_USER, SI_TKILL (abort, raise), SI_QUEUE
  errno = savedErrno;
}

// False, with the fallback size, when the kernel has no size for the terminal.
bool TerminalSize(int fd, int* columns, int* rows) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    *columns = size.ws_col;
    *rows = size.ws_row;
    return true;
  }
  *columns = kFallbackColumns;
  *rows = kFallbackRows;
  return false;
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

// Over whatever is there (a sanitizer's handler runs after ours), except an
// ignored signal, which stays ignored.
void InstallCrashHandlers(Terminal& t) {
  for (int i = 0; i < kCrashSignalCount; ++i) {
    if (sigaction(kCrashSignals[i], nullptr, &t.crashActions[i]) != 0 || t.crashActions[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_sigaction = OnCrashSignal;
    sigemptyset(&action.sa_mask);
    // On the signal stack where a thread has one (a sanitizer sets them up),
    // so that a stack overflow still reaches the handler.
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
    sigaction(kCrashSignals[i], &action, nullptr);
  }
}

// Sends query and reads the input until done(got) finds the whole answer
// in it or ms pass (or 256 bytes come without one: typing that hides none).
template <class Done>
std::string AwaitAnswer(Terminal& t, const char* query, int ms, Done done) {
  WriteAll(t.outputFd, query);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::string got;
  while (!done(got) && got.size() <= 256) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{t.inputFd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char bytes[64];
    const ssize_t n = read(t.inputFd, bytes, sizeof bytes);
    if (n > 0) got.append(bytes, static_cast<size_t>(n));
  }
  return got;
}

// Removes from got the first piece that starts with start and ends with one
// of the end bytes; false when there is none.
bool TakeAnswer(std::string& got, const char* start, const char* ends) {
  const size_t at = got.find(start);
  if (at == std::string::npos) return false;
  const size_t end = got.find_first_of(ends, at + std::strlen(start));
  if (end == std::string::npos) return false;
  got.erase(at, end + 1 - at);
  return true;
}

// Keys typed while an answer was awaited, for PollConsoleKeys.
void KeepKeys(Terminal& t, const std::string& got) {
  for (const char c : got) {
    if (kPendingKeys - t.pendingCount < 2) break;
    t.pendingCount += static_cast<size_t>(t.parser.Feed(static_cast<uint8_t>(c), t.pending + t.pendingCount));
  }
}

// The terminal's text area in characters, asked with CSI 18 t (the answer,
// CSI 8 ; rows ; columns t, arrives on the input); false when no answer
// comes in time.
bool AskTextAreaSize(Terminal& t, int* columns, int* rows) {
  int answerRows = 0;
  int answerColumns = 0;
  int length = 0;
  const auto parse = [&](const std::string& got) {
    const size_t at = got.find("\x1b[8;");
    return at != std::string::npos &&
           std::sscanf(got.c_str() + at + 4, "%d;%dt%n", &answerRows, &answerColumns, &length) == 2 && length > 0;
  };
  std::string got = AwaitAnswer(t, "\x1b[18t", kSizeReplyMs, parse);
  const bool answered = parse(got) && TakeAnswer(got, "\x1b[8;", "t") && answerRows > 0 &&
                        answerRows <= kMaxAnsweredSize && answerColumns > 0 && answerColumns <= kMaxAnsweredSize;
  if (answered) {
    *rows = answerRows;
    *columns = answerColumns;
  }
  KeepKeys(t, got);
  return answered;
}

// What the terminal answers: a palette colour (OSC 4 ; 0 ; rgb:... ending in
// BEL or ST), a status (CSI 0 n); the attributes (CSI ? ... c) end the wait.
void AskPaletteAndStatus(Terminal& t, bool* palette, bool* status) {
  std::string got = AwaitAnswer(t, "\x1b]4;0;?\x07\x1b[5n\x1b[c", kSetUpAnswerMs, [](const std::string& g) {
    const size_t at = g.find("\x1b[?");
    return at != std::string::npos && g.find('c', at) != std::string::npos;
  });
  *palette = TakeAnswer(got, "\x1b]4;", "\x07\\");
  *status = TakeAnswer(got, "\x1b[0", "n");
  TakeAnswer(got, "\x1b[?", "c");
  KeepKeys(t, got);
}

// Pending input into key records (and status answers into the parser's
// count), without blocking. idle: a read that finds nothing tells a lone
// Escape (only the once-a-frame key poll, so that the rest of a sequence
// has a frame to arrive).
void ReadInput(Terminal& t, bool idle) {
  if (t.inputFd < 0) return;
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
  if (idle && total == 0 && t.pendingCount < kPendingKeys) {
    t.pendingCount += static_cast<size_t>(t.parser.Idle(t.pending + t.pendingCount));
  }
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

// The answer to the last frame's status request came in before now. When
// frames were skipped for it, it came between the last of them and now (the
// middle is taken): a measurement. Else the terminal drew the frame within
// the frame period it had.
void MeasureDrain(Terminal& t, std::chrono::steady_clock::time_point now) {
  t.measured = true;
  if (t.skippedForIt) {
    const double seconds = std::chrono::duration<double>(t.skippedAt - t.writeBegan).count() +
                           0.5 * std::chrono::duration<double>(now - t.skippedAt).count();
    const double rate = static_cast<double>(t.writeBytes) / seconds;
    t.drainRate = t.drainRate > 0.0 ? t.drainRate + kDrainSmoothing * (rate - t.drainRate) : rate;
  } else if (t.writeCut) {
    t.drainRate *= kDrainGrowth;
  }
  // Fast enough for any frame within a frame period: no budget.
  if (t.drainRate * kFrameMs / 1000.0 > static_cast<double>(kMaxConsoleFrameBytes)) t.drainRate = 0.0;
}

void RestoreAtExit() { RestoreConsole(); }

}  // namespace

bool OpenConsole(const char* programName) {
  if (!isatty(STDOUT_FILENO)) {
    std::fprintf(stderr, "%s: standard output is not a terminal\n", programName);
    return false;
  }
  // The conventional names for a terminal that cannot move the cursor.
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0) {
    std::fprintf(stderr, "%s: TERM is %s; the show needs a terminal with cursor movement and colours\n", programName,
                 term == nullptr || *term == '\0' ? "not set" : term);
    return false;
  }
  Terminal& t = gTerminal;
  if (t.opened) return true;
  t.opened = true;
  InstallCrashHandlers(t);
  InstallHandler(SIGINT, OnQuitSignal);
  InstallHandler(SIGQUIT, OnQuitSignal);
  InstallHandler(SIGHUP, OnQuitSignal);
  InstallHandler(SIGTERM, OnQuitSignal);
  InstallHandler(SIGWINCH, OnResizeSignal);
  std::atexit(RestoreAtExit);
  return true;
}

void SetUpConsole(const ConsoleOptions& options) {
  Terminal& t = gTerminal;
  if (t.setUp) return;

  // Before the terminal changes: a glyph image that fails to decode prints.
  Bitmap* glyphImage = LoadBitmap("textmodechars.png");
  MeasureGlyphCoverage(*glyphImage, t.coverage);
  ReleaseBitmap(glyphImage);

  t.outputFd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (t.outputFd < 0) return;
  // Keys come from the terminal even when standard input is redirected.
  t.inputOpened = !isatty(STDIN_FILENO);
  t.inputFd = t.inputOpened ? open("/dev/tty", O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  t.termiosFd = t.inputFd >= 0 ? t.inputFd : t.outputFd;
  t.leaveSize = static_cast<size_t>(std::snprintf(t.leave, sizeof t.leave, "%s", kLeaveSequence));
  t.setUp = true;
  gTaken.store(true);
  EnterRawMode(t);
  HoldStandardOutput(t);

  bool answersPalette = false;
  if (t.inputFd >= 0) AskPaletteAndStatus(t, &answersPalette, &t.answersStatus);
  ConsoleColour colour = options.colour;
  if (colour == ConsoleColour::Auto) {
    colour = answersPalette ? ConsoleColour::Palette
             : TerminalHasTrueColour() ? ConsoleColour::TrueColour
                                       : ConsoleColour::Ansi16;
  }
  t.trueColour = colour == ConsoleColour::TrueColour;
  std::string start;
  if (colour == ConsoleColour::Palette) {
    // The reset goes into the leave sequence before the palette changes.
    t.leaveSize += static_cast<size_t>(
        std::snprintf(t.leave + t.leaveSize, sizeof t.leave - t.leaveSize, "%s", kPaletteReset));
    AppendPaletteSet(start);
  }

  gResized.store(false);
  int columns = 0;
  int rows = 0;
  const bool sizeKnown = TerminalSize(t.outputFd, &columns, &rows);
  // The size to give back after the resize request: the kernel's, which the
  // terminal keeps equal to its text area; without one, the terminal's answer.
  // (The answer is not preferred: tmux 3.3a gives columns and rows swapped.)
  int oldColumns = columns;
  int oldRows = rows;
  if ((columns < kScreenWidth || rows < kScreenHeight) &&
      (sizeKnown || (t.inputFd >= 0 && AskTextAreaSize(t, &oldColumns, &oldRows)))) {
    t.leaveSize += static_cast<size_t>(std::snprintf(t.leave + t.leaveSize, sizeof t.leave - t.leaveSize,
                                                     "\x1b[8;%d;%dt", oldRows, oldColumns));
  }
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

  t.glyphs = options.glyphs;
  t.encoder.Configure(columns, rows, t.trueColour, t.coverage, t.glyphs);
  t.frame.reserve(kMaxConsoleFrameBytes);
}

bool PresentConsole(const Cell* cells) {
  Terminal& t = gTerminal;
  if (!t.setUp) return false;
  ReadInput(t, false);
  const auto now = std::chrono::steady_clock::now();
  if (t.parser.statusReports < t.statusRequested) {
    if (now - t.requestedAt < std::chrono::milliseconds(kStatusStallMs)) {
      t.skippedForIt = true;
      t.skippedAt = now;
      return false;
    }
    t.statusRequested = t.parser.statusReports;   // an answer lost on the way: stop waiting for it
    t.measured = true;
  }
  if (!t.measured) MeasureDrain(t, now);
  if (gResized.exchange(false)) {
    int columns = 0;
    int rows = 0;
    TerminalSize(t.outputFd, &columns, &rows);
    t.encoder.Configure(columns, rows, t.trueColour, t.coverage, t.glyphs);
  }
  t.frame.clear();
  size_t budget = SIZE_MAX;
  if (t.drainRate > 0.0) {
    budget = std::max(kMinFrameBudget, static_cast<size_t>(t.drainRate * kFrameMs / 1000.0));
  }
  t.writeCut = !t.encoder.EncodeFrame(cells, t.frame, budget);
  if (t.answersStatus) t.frame += kStatusRequest;
  t.writeBegan = std::chrono::steady_clock::now();
  if (WriteAll(t.outputFd, t.frame.data(), t.frame.size())) {
    if (t.answersStatus) {
      t.statusRequested = t.parser.statusReports + 1;
      t.requestedAt = std::chrono::steady_clock::now();
      t.writeBytes = t.frame.size();
      t.measured = false;
      t.skippedForIt = false;
    }
  } else {
    t.encoder.Invalidate();   // part of a frame leaves the screen unknown
  }
  t.lastFrameBytes = t.frame.size();
  return true;
}

size_t PollConsoleKeys(KeyRecord* records, size_t max) {
  Terminal& t = gTerminal;
  if (t.setUp) ReadInput(t, true);
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
  if (gTaken.exchange(false)) GiveBackTerminal(t);
  t.haveSavedModes = false;
  close(t.outputFd);
  t.outputFd = -1;
  if (t.inputOpened && t.inputFd >= 0) close(t.inputFd);
  t.inputFd = -1;
  ReplayStandardOutput(t);
}

size_t ConsoleLastFrameBytes() { return gTerminal.lastFrameBytes; }
