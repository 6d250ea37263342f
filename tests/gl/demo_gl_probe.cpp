// Loaded into demo_gl by the tests (LD_PRELOAD). At exit it says on standard
// error when SDL's audio is still open, that is, when the program left
// without shutting its music down. With LUMEN_TEST_REFUSE_WINDOWS set, every
// window after the first is refused, so that a mode switch loses the window.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

extern "C" SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags) {
  static int made = 0;
  if (made++ > 0 && std::getenv("LUMEN_TEST_REFUSE_WINDOWS") != nullptr) {
    SDL_SetError("refused by the test");
    return nullptr;
  }
  using Create = SDL_Window* (*)(const char*, int, int, int, int, Uint32);
  return reinterpret_cast<Create>(dlsym(RTLD_NEXT, "SDL_CreateWindow"))(title, x, y, w, h, flags);
}

__attribute__((destructor)) static void SayWhetherTheAudioIsOpen() {
  if (SDL_WasInit(SDL_INIT_AUDIO) != 0) std::fputs("demo_gl_probe: audio still open at exit\n", stderr);
}
