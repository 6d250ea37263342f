// The SDL2 window layer (gl_window.h): X11 or Wayland through SDL's video
// subsystem, which stays up from the first window to the end of the process.
// Key events carry SDL key codes, turned into the Windows virtual key codes
// the frame loop reads.
#include "frontends/gl/gl_window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "frontends/gl/text_mode_renderer.h"

namespace {

GlWindow& gWindow = TheWindow();

SDL_Window* Window() { return static_cast<SDL_Window*>(gWindow.window); }

// Sets what the context must offer before a window is made: double-buffered
// RGB of 8 bits a channel, a 16-bit depth buffer, and a compatibility
// context, since the renderer uses the fixed-function pipeline of GL 1.1.
void RequestPixelFormat() {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// The Windows virtual key code of an SDL key code, or -1 for keys the show
// has no code for. Letters map to their capitals, F1..F24 to 112..135.
int VirtualKeyFromKeycode(int32_t keycode) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return 112 + (keycode - SDLK_F1);
  if (keycode >= SDLK_F13 && keycode <= SDLK_F24) return 124 + (keycode - SDLK_F13);
  if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return 97 + (keycode - SDLK_KP_1);
  switch (keycode) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: return 13;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL: case SDLK_RCTRL: return 17;
    case SDLK_LALT: case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_CAPSLOCK: return 20;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    default: return -1;
  }
}

void HandleWindowEvent(const SDL_WindowEvent& event, bool* quit) {
  // Events still queued for a window closed by a mode switch are stale.
  if (gWindow.window == nullptr || event.windowID != SDL_GetWindowID(Window())) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      int width = 0, height = 0;
      GetClientSize(&width, &height);
      ResizeView(width, height);
      break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
      gWindow.windowActive = false;
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      // Losing the focus alone does not stop the drawing.
      gWindow.windowActive = true;
      break;
    case SDL_WINDOWEVENT_CLOSE:
      *quit = true;
      break;
    default:
      break;
  }
}

}  // namespace

bool DisplayNamed() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

bool OpenWindow(bool fullScreen) {
  gWindow.fullScreen = fullScreen;
  // The video subsystem stays up from the first window to the end of the
  // process: every mode switch reuses the display connection.
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    ShowErrorBox(kErrorCreateWindowFirst);
    return false;
  }

  int width = kWindowClientWidth;
  int height = kWindowClientHeight;
  Uint32 flags = SDL_WINDOW_OPENGL;
  if (fullScreen) {
    // The desktop's own mode: the display mode is never changed.
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
      ShowErrorBox(kErrorCreateWindowFirst);
      return false;
    }
    width = desktop.w;
    height = desktop.h;
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    flags |= SDL_WINDOW_RESIZABLE;
  }
  SDL_DisableScreenSaver();

  RequestPixelFormat();
  gWindow.window = SDL_CreateWindow(kWindowTitle, 0, 0, width, height, flags);
  if (gWindow.window == nullptr) {
    CloseWindow();
    ShowErrorBox(kErrorCreateWindow);
    return false;
  }
  gWindow.context = SDL_GL_CreateContext(Window());
  if (gWindow.context == nullptr || SDL_GL_MakeCurrent(Window(), gWindow.context) != 0) {
    CloseWindow();
    ShowErrorBox(kErrorInitGl);
    return false;
  }
  // The frame loop paces itself on its 16 ms grid; waiting for a 60 Hz
  // retrace as well would make every frame late.
  SDL_GL_SetSwapInterval(0);

  SDL_ShowWindow(Window());
  SDL_RaiseWindow(Window());
  gWindow.windowActive = true;

  GetClientSize(&width, &height);
  ResizeView(width, height);
  if (!SetUpGL()) {
    CloseWindow();
    ShowErrorBox(kErrorInitGl);
    return false;
  }
  return true;
}

void CloseWindow() {
  if (gWindow.fullScreen) SDL_ShowCursor(SDL_ENABLE);
  if (gWindow.context != nullptr) {
    SDL_GL_MakeCurrent(Window(), nullptr);
    SDL_GL_DeleteContext(gWindow.context);
    gWindow.context = nullptr;
  }
  if (gWindow.window != nullptr) {
    SDL_DestroyWindow(Window());
    gWindow.window = nullptr;
  }
}

bool PumpMessages() {
  bool quit = false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:
        quit = true;
        break;
      case SDL_WINDOWEVENT:
        HandleWindowEvent(event.window, &quit);
        break;
      case SDL_KEYDOWN:
        RecordKey(VirtualKeyFromKeycode(event.key.keysym.sym), kKeyWentDown);
        break;
      case SDL_KEYUP:
        RecordKey(VirtualKeyFromKeycode(event.key.keysym.sym), kKeyWentUp);
        break;
      default:
        break;
    }
  }
  return quit;
}

void SwapWindowBuffers() {
  if (gWindow.window != nullptr) SDL_GL_SwapWindow(Window());
}

void GetClientSize(int* width, int* height) {
  *width = 0;
  *height = 0;
  if (gWindow.window != nullptr) SDL_GL_GetDrawableSize(Window(), width, height);
}

uint32_t WindowTicksMs() { return SDL_GetTicks(); }

void WindowSleepMs(uint32_t ms) { SDL_Delay(ms); }

void ShowErrorBox(const char* text) {
  // The box's text is fixed; what SDL knows of the cause goes to the log.
  const char* cause = SDL_GetError();
  std::fprintf(stderr, "ERROR: %s%s%s%s\n", text, cause[0] != '\0' ? " (" : "", cause, cause[0] != '\0' ? ")" : "");
  std::fflush(stderr);
  if (DisplayNamed()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "ERROR", text, nullptr);
}
