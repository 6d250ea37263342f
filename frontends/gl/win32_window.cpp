// The Win32 window layer (gl_window.h): a window of its own class with a
// WGL context on its device context. The framed window is an overlapped
// window whose client area is 640 x 400, placed at the screen's top-left
// corner; full screen is a borderless popup over the whole primary monitor,
// in the monitor's own display mode (which is never changed).
// A mode switch destroys the window and its context and makes both anew, so
// the renderer's GL state is set up in the new context as in the first.
//
// The window procedure records what the frame loop reads: WM_SIZE the
// projection and minimise/restore, WM_ACTIVATE and WM_SHOWWINDOW whether
// anything is drawn, WM_CLOSE a quit request (the window stays until the
// program closes it), and the key messages the virtual key codes. Key
// messages are handled as they are dispatched, so a key pressed and released
// between two frames counts both ways.
#include "frontends/gl/gl_window.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "frontends/gl/text_mode_renderer.h"

namespace {

constexpr char kWindowClass[] = "LumenGravelGL";
constexpr size_t kCauseChars = 256;

GlWindow& gWindow = TheWindow();
HDC gDeviceContext = nullptr;   // the window's own (CS_OWNDC), while open
bool gClassRegistered = false;  // the class and the 1 ms timer period, from the first window to the end
bool gQuitRequested = false;    // WM_CLOSE or WM_QUIT since the last PumpMessages
char gCause[kCauseChars] = "";  // what failed last, for the error line

HWND Window() { return static_cast<HWND>(gWindow.window); }

// Notes the failed call and the system's reason, where it gave one (the
// calls of OpenWindow start with the last error cleared), for ShowErrorBox.
void NoteFailure(const char* call) {
  const unsigned long code = GetLastError();
  if (code == 0) {
    std::snprintf(gCause, kCauseChars, "%s failed", call);
    return;
  }
  const int used = std::snprintf(gCause, kCauseChars, "%s failed, error %lu: ", call, code);
  if (used < 0 || used >= static_cast<int>(kCauseChars)) return;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                gCause + used, static_cast<DWORD>(kCauseChars - used), nullptr);
  // The system's text ends in a full stop and a line break; without one the
  // colon goes too.
  length += static_cast<DWORD>(used);
  while (length > 0 && std::strchr(": .\r\n", gCause[length - 1]) != nullptr) --length;
  gCause[length] = '\0';
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Messages sent while the window is being made (before its context) or
  // torn down, and those of a window closed by a mode switch, change nothing.
  if (window != Window() || gWindow.context == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) gWindow.windowActive = false;
      else if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) gWindow.windowActive = true;
      ResizeView(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_ACTIVATE:
      // Losing the focus alone does not stop the drawing; being minimised
      // does. The system then gives the keyboard focus to the window.
      gWindow.windowActive = HIWORD(wParam) == 0;
      break;
    case WM_SHOWWINDOW:
      gWindow.windowActive = wParam != FALSE;
      break;
    case WM_CLOSE:
      gQuitRequested = true;
      return 0;
    case WM_SYSCOMMAND:
      // The screen saver and monitor power-down stay off during the show, and
      // Alt or F10 alone does not open the window menu, whose modal loop
      // would stop the frames.
      if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
      if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0) return 0;
      break;
    case WM_SETCURSOR:
      // No pointer over the show in full screen.
      if (gWindow.fullScreen && LOWORD(lParam) == HTCLIENT) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_ERASEBKGND:
      return 1;   // every frame covers the whole client area
    case WM_KEYDOWN:
    case WM_KEYUP:
      RecordKey(static_cast<int>(wParam), message == WM_KEYDOWN ? kKeyWentDown : kKeyWentUp);
      return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // F10 and keys held with Alt; the system still sees them (Alt+F4).
      RecordKey(static_cast<int>(wParam), message == WM_SYSKEYDOWN ? kKeyWentDown : kKeyWentUp);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
  if (gClassRegistered) return true;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;   // one device context for the context's lifetime
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExA(&windowClass) == 0) {
    NoteFailure("RegisterClassExA");
    return false;
  }
  // The frame loop sleeps 1 ms at a time; the default period is 15.6 ms.
  timeBeginPeriod(1);
  gClassRegistered = true;
  return true;
}

// Double-buffered RGBA of 8 bits a channel with a 16-bit depth buffer.
bool SetPixelFormatOf(HDC deviceContext) {
  PIXELFORMATDESCRIPTOR wanted{};
  wanted.nSize = sizeof wanted;
  wanted.nVersion = 1;
  wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  wanted.iPixelType = PFD_TYPE_RGBA;
  wanted.cColorBits = 24;
  wanted.cDepthBits = 16;
  wanted.iLayerType = PFD_MAIN_PLANE;
  SetLastError(0);
  const int format = ChoosePixelFormat(deviceContext, &wanted);
  if (format == 0) {
    NoteFailure("ChoosePixelFormat");
    return false;
  }
  SetLastError(0);
  if (!SetPixelFormat(deviceContext, format, &wanted)) {
    NoteFailure("SetPixelFormat");
    return false;
  }
  return true;
}

// The frame loop paces itself on its 16 ms grid; waiting for a 60 Hz retrace
// as well would make every frame late. Drivers without the extension
// already swap at once or cannot be told.
void SwapWithoutWaiting() {
  using SwapInterval = BOOL(WINAPI*)(int);
  const PROC found = wglGetProcAddress("wglSwapIntervalEXT");
  if (found == nullptr) return;
  // Through void (*)(), the type every function pointer may pass through.
  reinterpret_cast<SwapInterval>(reinterpret_cast<void (*)()>(found))(0);
}

}  // namespace

bool DisplayNamed() { return true; }

bool OpenWindow(bool fullScreen) {
  gWindow.fullScreen = fullScreen;
  gCause[0] = '\0';
  SetLastError(0);
  if (!RegisterWindowClass()) {
    ShowErrorBox(kErrorCreateWindowFirst);
    return false;
  }

  RECT area{0, 0, kWindowClientWidth, kWindowClientHeight};
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD extendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
  if (fullScreen) {
    // The monitor's own mode: the display mode is never changed.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const HMONITOR where = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoA(where, &monitor)) {
      NoteFailure("GetMonitorInfoA");
      ShowErrorBox(kErrorCreateWindowFirst);
      return false;
    }
    area = monitor.rcMonitor;
    style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    extendedStyle = WS_EX_APPWINDOW;
  } else {
    // The frame around a 640 x 400 client area, its top-left at the screen's.
    AdjustWindowRectEx(&area, style, FALSE, extendedStyle);
    OffsetRect(&area, -area.left, -area.top);
  }
  // The show keeps the display on, as a video player does.
  SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);

  gWindow.window = CreateWindowExA(extendedStyle, kWindowClass, kWindowTitle, style, area.left, area.top,
                                   area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  if (gWindow.window == nullptr) {
    NoteFailure("CreateWindowExA");
    CloseWindow();
    ShowErrorBox(kErrorCreateWindow);
    return false;
  }
  gDeviceContext = GetDC(Window());
  if (gDeviceContext == nullptr) NoteFailure("GetDC");
  if (gDeviceContext == nullptr || !SetPixelFormatOf(gDeviceContext)) {
    CloseWindow();
    ShowErrorBox(kErrorCreateWindow);
    return false;
  }
  SetLastError(0);
  gWindow.context = wglCreateContext(gDeviceContext);
  bool current = false;
  if (gWindow.context == nullptr) {
    NoteFailure("wglCreateContext");
  } else {
    SetLastError(0);
    current = wglMakeCurrent(gDeviceContext, static_cast<HGLRC>(gWindow.context)) != FALSE;
    if (!current) NoteFailure("wglMakeCurrent");
  }
  if (!current) {
    CloseWindow();
    ShowErrorBox(kErrorInitGl);
    return false;
  }
  SwapWithoutWaiting();

  int width = 0, height = 0;
  GetClientSize(&width, &height);
  ResizeView(width, height);
  if (!SetUpGL()) {
    std::snprintf(gCause, kCauseChars, "OpenGL reported an error");
    CloseWindow();
    ShowErrorBox(kErrorInitGl);
    return false;
  }
  ShowWindow(Window(), SW_SHOW);
  SetForegroundWindow(Window());
  SetFocus(Window());
  gWindow.windowActive = true;
  return true;
}

void CloseWindow() {
  if (gWindow.context != nullptr) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(static_cast<HGLRC>(gWindow.context));
    gWindow.context = nullptr;
  }
  const HWND window = Window();
  gWindow.window = nullptr;   // its last messages are no longer the show's
  if (gDeviceContext != nullptr) {
    ReleaseDC(window, gDeviceContext);
    gDeviceContext = nullptr;
  }
  if (window != nullptr) DestroyWindow(window);
}

bool PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) gQuitRequested = true;
    else DispatchMessageA(&message);
  }
  const bool quit = gQuitRequested;
  gQuitRequested = false;
  return quit;
}

void SwapWindowBuffers() {
  if (gDeviceContext != nullptr) SwapBuffers(gDeviceContext);
}

void GetClientSize(int* width, int* height) {
  *width = 0;
  *height = 0;
  RECT client;
  if (Window() == nullptr || !GetClientRect(Window(), &client)) return;
  *width = client.right - client.left;
  *height = client.bottom - client.top;
}

uint32_t WindowTicksMs() { return timeGetTime(); }

void WindowSleepMs(uint32_t ms) { Sleep(ms); }

void ShowErrorBox(const char* text) {
  // The box's text is fixed; what failed goes to the log.
  std::fprintf(stderr, "ERROR: %s%s%s%s\n", text, gCause[0] != '\0' ? " (" : "", gCause, gCause[0] != '\0' ? ")" : "");
  std::fflush(stderr);
  MessageBoxA(nullptr, text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}
