// The window of demo_gl: a framed 640 x 400 client area or a borderless
// window covering the screen, a double-buffered OpenGL context with a 16-bit
// depth buffer, and the window's events turned into what the frame loop
// reads: size changes, minimise and restore, close requests and per-frame
// key events by virtual key code.
//
// One layer per platform, chosen at build time: sdl_window.cpp (SDL2, X11 or
// Wayland) and win32_window.cpp (Win32 and WGL); each describes how its
// platform keeps this contract. One window at a time; everything runs on the
// main thread, inside the frame loop's message pump.
#pragma once

#include <cstdint>

constexpr int kWindowClientWidth = 640;    // pixels, framed window
constexpr int kWindowClientHeight = 400;
constexpr int kKeyStateEntries = 255;      // virtual key codes 0..254
inline constexpr char kWindowTitle[] = "Lumen Gravel (OpenGL) - Pelkora 2o14 - https://pelkora.example/";

// Virtual key codes the frame loop reads besides Escape (27).
constexpr int kVirtualKeyM = 77;
constexpr int kVirtualKeyF1 = 112;

// keyState bits: the events of the key since the frame loop last looked, so
// that a press and release between two frames both count.
constexpr uint32_t kKeyNoEvent = 0;
constexpr uint32_t kKeyWentDown = 1;
constexpr uint32_t kKeyWentUp = 2;

// Failure texts of OpenWindow, shown in a box captioned "ERROR".
inline constexpr char kErrorCreateWindowFirst[] = "Unable to create window";
inline constexpr char kErrorCreateWindow[] = "Unable to create window.";
inline constexpr char kErrorInitGl[] = "Unable to init GL.";

struct GlWindow {
  void* window = nullptr;         // the layer's window (SDL_Window*, HWND); none when closed
  void* context = nullptr;        // its GL context (SDL_GLContext, HGLRC); none when closed
  bool fullScreen = false;        // the show always starts in a window
  bool windowActive = true;       // false while minimised or hidden: nothing is drawn
  uint32_t keyState[kKeyStateEntries] = {};
};

// The program's one window state.
GlWindow& TheWindow();

// Whether there is a display to open a window on: for SDL2, one named in the
// environment (DISPLAY or WAYLAND_DISPLAY); on Windows always. Without one no
// window or message box can appear.
bool DisplayNamed();

// Opens the window, its context and the renderer's GL state. On failure shows
// the error box, releases what was made and returns false.
bool OpenWindow(bool fullScreen);
// Releases the context and the window (and shows the cursor again after full
// screen). Safe to call when nothing is open.
void CloseWindow();

// Handles every pending event; true when a close or quit request arrived.
bool PumpMessages();
void SwapWindowBuffers();
// The drawable size of the open window in pixels; 0 x 0 when closed.
void GetClientSize(int* width, int* height);

// Adds a key event (kKeyWentDown or kKeyWentUp) to the key's bits; codes
// outside 0..254 have no entry and are ignored.
void RecordKey(int virtualKey, uint32_t event);
void ClearKeyState();

// The frame loop's clock: milliseconds of a monotonic clock, wrapping, and a
// sleep of about ms, both to 1 ms.
uint32_t WindowTicksMs();
void WindowSleepMs(uint32_t ms);

// A box captioned "ERROR" with text, which waits for the viewer; the text and
// its cause also go to standard error, the only trace where no box can show.
void ShowErrorBox(const char* text);
