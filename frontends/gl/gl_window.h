// The window of demo_gl over SDL2: a framed 640 x 400 client area or a
// borderless window covering the desktop, a double-buffered OpenGL context
// with a 16-bit depth buffer, and the window's events turned into what the
// frame loop reads: size changes, minimise and restore, close requests and
// per-frame key events by virtual key code.
//
// One window at a time; everything runs on the main thread, inside the
// frame loop's message pump.
#pragma once

#include <cstdint>

struct SDL_Window;

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
  SDL_Window* window = nullptr;   // none when closed
  void* context = nullptr;        // SDL_GLContext; none when closed
  bool fullScreen = false;        // the show always starts in a window
  bool windowActive = true;       // false while minimised or hidden: nothing is drawn
  uint32_t keyState[kKeyStateEntries] = {};
};

// The program's one window state.
GlWindow& TheWindow();

// Whether any display server is named in the environment (DISPLAY or
// WAYLAND_DISPLAY); without one no window or message box can appear.
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
// The Windows virtual key code of an SDL key code, or -1 for keys the show
// has no code for. Letters map to their capitals, F1..F24 to 112..135.
int VirtualKeyFromKeycode(int32_t keycode);

// A box captioned "ERROR" with text, which waits for the viewer; the text and
// its cause also go to standard error, the only trace where no box can show.
void ShowErrorBox(const char* text);
