// The console on Windows: the console's 8 x 8 raster font where it has one,
// a window and screen buffer of 80 x 50 characters, the show's title, a
// hidden cursor, and each frame written whole as one block of characters
// with their attributes (text-mode attribute bits are the console's
// FOREGROUND_* and BACKGROUND_* bits). The glyphs are written as the Unicode
// code points of their code page 437 characters, so they show as code page
// 437 whatever the console's code page and font.
//
// Keys: every key event, down and up alike, from the console's input (from
// CONIN$ when standard input is redirected). Ctrl+C, Ctrl+Break, closing the
// window and logging off are console control events that request the quit;
// closing ends the process a few seconds after the handler returns, so the
// handler first waits (at most kCloseWaitMs) for the main loop to give the
// console back, and gives it back itself when that does not happen.
//
// What is changed is saved first and given back on every way out (normal
// end, Escape, the control events, exit() through atexit, an unhandled
// exception through the top-level exception filter, which then passes it on,
// and abort() through SIGABRT): the screen buffer's size, window, contents
// (up to kMaxSavedRows rows) and cursor, the font, the title, the input mode
// and the timer resolution. Keys typed during the show are dropped. Standard
// output goes to a temporary file during the show and is replayed after.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <mmsystem.h>   // after windows.h

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/core/decode.h"
#include "frontends/console/ansi.h"
#include "frontends/console/console.h"

namespace {

constexpr DWORD kCloseWaitMs = 2000;    // the system allows a close handler about 5 s
constexpr DWORD kTitleChars = 260;
constexpr DWORD kMaxConsoleFonts = 40;
constexpr SHORT kFontSize = 8;          // pixels, width and height
constexpr DWORD kInputRecords = 256;    // read per poll at most; the rest waits
constexpr SHORT kMaxSavedRows = 9999;   // of the screen buffer, up to the window's last
constexpr int kBandCells = 8000;        // per console read or write of saved rows (32 KB)

// Not in the Windows headers: bound from KERNEL32.DLL at run time.
using SetConsoleFontFn = BOOL(WINAPI*)(HANDLE, DWORD);
using GetConsoleFontInfoFn = BOOL(WINAPI*)(HANDLE, BOOL, DWORD, CONSOLE_FONT_INFO*);
using GetNumberOfConsoleFontsFn = DWORD(WINAPI*)(void);

std::atomic<bool> gQuitRequested{false};
// Set while the console is changed; whoever clears it (RestoreConsole, the
// close handler, the exception filter) gives the console back.
std::atomic<bool> gTaken{false};

// Everything the console holds between opening and restoration. A namespace
// scope object: built before main, so it outlives the atexit restoration.
struct Console {
  bool opened = false;
  bool setUp = false;
  HANDLE out = nullptr;            // our own duplicate of standard output's console handle
  HANDLE in = nullptr;
  HWND window = nullptr;
  HANDLE givenBack = nullptr;      // manual-reset event: set while nothing is changed
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

  // Saved before changing.
  wchar_t title[kTitleChars] = {};
  bool fontChanged = false;
  CONSOLE_FONT_INFOEX font{};
  bool haveBuffer = false;
  CONSOLE_SCREEN_BUFFER_INFO buffer{};
  std::vector<CHAR_INFO> contents; // rows contentsTop.. of the buffer, its full width
  SHORT contentsTop = 0;
  SHORT contentsRows = 0;
  bool haveCursor = false;
  CONSOLE_CURSOR_INFO cursor{};
  bool haveInputMode = false;
  DWORD inputMode = 0;
  bool timerPeriodSet = false;

  int heldFd = -1;                 // standard output during the show
  int savedStdout = -1;

  CHAR_INFO image[kScreenCells] = {};
  INPUT_RECORD inputs[kInputRecords] = {};
  size_t lastFrameBytes = 0;
};

Console gConsole;

// Resizes the buffer and its window so that the buffer contains the window
// at every step, whether either grows or shrinks: first a window inside
// both the old and the new buffer, then the buffer, then the window.
void ResizeBuffer(HANDLE out, COORD size, const SMALL_RECT& window) {
  CONSOLE_SCREEN_BUFFER_INFO now{};
  if (GetConsoleScreenBufferInfo(out, &now)) {
    const int columns = std::min<int>(now.srWindow.Right - now.srWindow.Left + 1, size.X);
    const int rows = std::min<int>(now.srWindow.Bottom - now.srWindow.Top + 1, size.Y);
    const SMALL_RECT common{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    SetConsoleWindowInfo(out, TRUE, &common);
  }
  SetConsoleScreenBufferSize(out, size);
  SetConsoleWindowInfo(out, TRUE, &window);
}

// Reads (or writes back) the saved rows in bands small enough for any console.
void TransferContents(Console& c, bool write) {
  const SHORT width = c.buffer.dwSize.X;
  const SHORT band = static_cast<SHORT>(std::max(1, kBandCells / std::max<int>(1, width)));
  for (SHORT row = 0; row < c.contentsRows; row = static_cast<SHORT>(row + band)) {
    const SHORT rows = std::min<SHORT>(band, static_cast<SHORT>(c.contentsRows - row));
    SMALL_RECT area{0, static_cast<SHORT>(c.contentsTop + row), static_cast<SHORT>(width - 1),
                    static_cast<SHORT>(c.contentsTop + row + rows - 1)};
    CHAR_INFO* cells = c.contents.data() + static_cast<size_t>(row) * static_cast<size_t>(width);
    if (write) {
      WriteConsoleOutputW(c.out, cells, COORD{width, rows}, COORD{0, 0}, &area);
    } else {
      ReadConsoleOutputW(c.out, cells, COORD{width, rows}, COORD{0, 0}, &area);
    }
  }
}

// In the reverse order of the changes: the buffer at the 8 x 8 font (a
// smaller font never makes the old window too large), then the font (only
// when changed: the console host of Wine's terminal-backed console, which
// has no font table, crashes in SetCurrentConsoleFontEx). Uses only what
// was saved, so that the exception filter and the close handler can call it.
void GiveBackConsole(Console& c) {
  if (c.haveBuffer) {
    ResizeBuffer(c.out, c.buffer.dwSize, c.buffer.srWindow);
    // Wine's terminal-backed console, going from foreground 7 on a coloured
    // background straight to attribute 7, keeps the background: the
    // terminal would be cleared in that colour and left in it. A cell of
    // another foreground first makes it reset the colours. The contents
    // write it over at once.
    CHAR_INFO reset{};
    reset.Char.UnicodeChar = L'.';
    reset.Attributes = FOREGROUND_BLUE;
    SMALL_RECT corner{c.buffer.srWindow.Left, c.buffer.srWindow.Top, c.buffer.srWindow.Left, c.buffer.srWindow.Top};
    WriteConsoleOutputW(c.out, &reset, COORD{1, 1}, COORD{0, 0}, &corner);
    TransferContents(c, true);
    SetConsoleCursorPosition(c.out, c.buffer.dwCursorPosition);
  }
  if (c.haveCursor) SetConsoleCursorInfo(c.out, &c.cursor);
  if (c.fontChanged) SetCurrentConsoleFontEx(c.out, FALSE, &c.font);
  if (c.setUp) SetConsoleTitleW(c.title);
  if (c.haveInputMode) {
    FlushConsoleInputBuffer(c.in);
    SetConsoleMode(c.in, c.inputMode);
  }
  if (c.timerPeriodSet) timeEndPeriod(1);
  SetEvent(c.givenBack);
}

// The first 8 x 8 font of the console's font table; 0 when chosen, 1 when
// the console has none or cannot tell.
int SelectConsoleFont(HANDLE out, HWND window) {
  const HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return 1;
  // Through void (*)(), the one cast between function types GCC accepts silently.
  const auto setFont = reinterpret_cast<SetConsoleFontFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetConsoleFont")));
  const auto getFontInfo = reinterpret_cast<GetConsoleFontInfoFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetConsoleFontInfo")));
  const auto fontCount = reinterpret_cast<GetNumberOfConsoleFontsFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetNumberOfConsoleFonts")));
  if (setFont == nullptr || getFontInfo == nullptr || fontCount == nullptr) return 1;

  const DWORD count = std::min(fontCount(), kMaxConsoleFonts);
  CONSOLE_FONT_INFO fonts[kMaxConsoleFonts] = {};
  getFontInfo(out, FALSE, count, fonts);
  for (DWORD i = 0; i < count; ++i) {
    fonts[i].dwFontSize = GetConsoleFontSize(out, fonts[i].nFont);
    if (fonts[i].dwFontSize.X == kFontSize && fonts[i].dwFontSize.Y == kFontSize) {
      setFont(out, fonts[i].nFont);
      if (window != nullptr) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
      }
      return 0;
    }
  }
  return 1;
}

BOOL WINAPI ConsoleControlHandler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      gQuitRequested.store(true);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
      // The process ends soon after this returns.
      gQuitRequested.store(true);
      if (WaitForSingleObject(gConsole.givenBack, kCloseWaitMs) != WAIT_OBJECT_0 && gTaken.exchange(false)) {
        GiveBackConsole(gConsole);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (gTaken.exchange(false)) GiveBackConsole(gConsole);
  return gConsole.previousFilter != nullptr ? gConsole.previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// abort() (std::terminate too) raises SIGABRT, then ends the program when
// the handler returns.
extern "C" void OnAbort(int) {
  if (gTaken.exchange(false)) GiveBackConsole(gConsole);
}

// Marks the console changed before a change, so that every way out gives it back.
void Take(Console& c) {
  ResetEvent(c.givenBack);
  gTaken.store(true);
}

// Standard output goes to a temporary file (deleted when closed) for the
// show; failing that it stays on the console.
void HoldStandardOutput(Console& c) {
  std::fflush(stdout);
  wchar_t directory[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(directory, L"lum", 0, name) == 0) return;
  const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return;
  }
  c.heldFd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (c.heldFd < 0) {
    CloseHandle(file);
    return;
  }
  c.savedStdout = _dup(_fileno(stdout));
  if (c.savedStdout < 0 || _dup2(c.heldFd, _fileno(stdout)) != 0) {
    if (c.savedStdout >= 0) _close(c.savedStdout);
    c.savedStdout = -1;
    _close(c.heldFd);
    c.heldFd = -1;
  }
}

void ReplayStandardOutput(Console& c) {
  if (c.heldFd < 0) return;
  std::fflush(stdout);
  _dup2(c.savedStdout, _fileno(stdout));
  _close(c.savedStdout);
  c.savedStdout = -1;
  _lseek(c.heldFd, 0, SEEK_SET);
  char bytes[4096];
  for (int n; (n = _read(c.heldFd, bytes, sizeof bytes)) > 0;) _write(_fileno(stdout), bytes, static_cast<unsigned>(n));
  _close(c.heldFd);
  c.heldFd = -1;
}

// The console input even when standard input is redirected.
HANDLE ConsoleInput() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode)) return in;
  return CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

void RestoreAtExit() { RestoreConsole(); }

}  // namespace

bool OpenConsole(const char* programName) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) {
    std::fprintf(stderr, "%s: standard output is not a console\n", programName);
    return false;
  }
  Console& c = gConsole;
  if (c.opened) return true;
  // Our own handle: holding standard output closes the one behind it.
  if (!DuplicateHandle(GetCurrentProcess(), out, GetCurrentProcess(), &c.out, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    c.out = out;
  }
  c.givenBack = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  c.opened = true;

  // The window is found by the title it has before the show changes it.
  char title[kTitleChars] = {};
  if (GetConsoleTitleA(title, kTitleChars) > 0) c.window = FindWindowA(nullptr, title);
  c.font.cbSize = sizeof c.font;
  if (GetCurrentConsoleFontEx(c.out, FALSE, &c.font)) {
    Take(c);
    c.fontChanged = SelectConsoleFont(c.out, c.window) == 0;
    if (!c.fontChanged) {
      gTaken.store(false);
      SetEvent(c.givenBack);
    }
  }
  SetConsoleCtrlHandler(ConsoleControlHandler, TRUE);
  c.previousFilter = SetUnhandledExceptionFilter(OnUnhandledException);
  std::signal(SIGABRT, OnAbort);
  std::atexit(RestoreAtExit);
  return true;
}

void SetUpConsole(const ConsoleOptions&) {
  Console& c = gConsole;
  if (!c.opened || c.setUp) return;
  c.in = ConsoleInput();

  c.haveBuffer = GetConsoleScreenBufferInfo(c.out, &c.buffer) != 0;
  if (c.haveBuffer) {
    const SHORT last = std::max(c.buffer.srWindow.Bottom, c.buffer.dwCursorPosition.Y);
    c.contentsTop = static_cast<SHORT>(std::max(0, last + 1 - kMaxSavedRows));
    c.contentsRows = static_cast<SHORT>(last + 1 - c.contentsTop);
    c.contents.assign(static_cast<size_t>(c.contentsRows) * static_cast<size_t>(c.buffer.dwSize.X), CHAR_INFO{});
    TransferContents(c, false);
  }
  c.haveCursor = GetConsoleCursorInfo(c.out, &c.cursor) != 0;
  c.haveInputMode = c.in != INVALID_HANDLE_VALUE && GetConsoleMode(c.in, &c.inputMode) != 0;
  GetConsoleTitleW(c.title, kTitleChars);

  Take(c);
  c.setUp = true;
  HoldStandardOutput(c);
  // Ctrl+C stays a control event; no line editing, echo, mouse or window
  // events, and no quick-edit selection, which would stop the show's writes.
  if (c.haveInputMode) SetConsoleMode(c.in, ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS);
  c.timerPeriodSet = timeBeginPeriod(1) == TIMERR_NOERROR;   // the frame loop's 1 ms sleeps

  const SMALL_RECT window{0, 0, kScreenWidth - 1, kScreenHeight - 1};
  SetConsoleWindowInfo(c.out, TRUE, &window);
  SetConsoleScreenBufferSize(c.out, COORD{kScreenWidth, kScreenHeight});
  SetConsoleTitleA(kConsoleTitle);
  const CONSOLE_CURSOR_INFO hidden{100, FALSE};
  SetConsoleCursorInfo(c.out, &hidden);
}

bool PresentConsole(const Cell* cells) {
  Console& c = gConsole;
  if (!c.setUp) return false;
  for (int i = 0; i < kScreenCells; ++i) {
    const DecodedCell d = DecodeCell(cells[i]);
    c.image[i].Char.UnicodeChar = static_cast<WCHAR>(Cp437ToUnicode(DecodedGlyph(d)));
    c.image[i].Attributes = static_cast<WORD>(d.attribute & 0xFFFF);
  }
  // Shown again by anything that resets the console, such as a resize.
  const CONSOLE_CURSOR_INFO hidden{100, FALSE};
  SetConsoleCursorInfo(c.out, &hidden);
  SMALL_RECT area{0, 0, kScreenWidth - 1, kScreenHeight - 1};
  WriteConsoleOutputW(c.out, c.image, COORD{kScreenWidth, kScreenHeight}, COORD{0, 0}, &area);
  c.lastFrameBytes = sizeof c.image;
  return true;   // the block write returns once the console holds the frame
}

size_t PollConsoleKeys(KeyRecord* records, size_t max) {
  Console& c = gConsole;
  if (!c.setUp || c.in == INVALID_HANDLE_VALUE) return 0;
  // Under Wine the events of a terminal-backed console arrive only once the
  // handle is waited on; on Windows this is a no-op.
  WaitForSingleObject(c.in, 0);
  DWORD pending = 0;
  if (!GetNumberOfConsoleInputEvents(c.in, &pending) || pending == 0) return 0;
  // Each record read makes at most one key record.
  const DWORD want = static_cast<DWORD>(std::min<size_t>({pending, kInputRecords, max}));
  DWORD got = 0;
  if (want == 0 || !ReadConsoleInputW(c.in, c.inputs, want, &got)) return 0;
  size_t count = 0;
  for (DWORD i = 0; i < got; ++i) {
    if (c.inputs[i].EventType != KEY_EVENT) continue;
    const KEY_EVENT_RECORD& key = c.inputs[i].Event.KeyEvent;
    records[count++] = KeyRecord{static_cast<uint8_t>(key.wVirtualKeyCode > 255 ? 0 : key.wVirtualKeyCode),
                                 static_cast<uint8_t>(key.uChar.UnicodeChar > 255 ? 0 : key.uChar.UnicodeChar)};
  }
  return count;
}

bool ConsoleQuitRequested() { return gQuitRequested.load(); }

void RestoreConsole() {
  Console& c = gConsole;
  if (gTaken.exchange(false)) GiveBackConsole(c);
  if (!c.setUp) return;
  c.setUp = false;
  ReplayStandardOutput(c);
}

size_t ConsoleLastFrameBytes() { return gConsole.lastFrameBytes; }
