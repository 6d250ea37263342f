#include "frontends/gl/window_frame.h"

#include "engine/core/timeline.h"
#include "frontends/gl/gl_window.h"
#include "frontends/gl/text_mode_renderer.h"

void DrawAndShow() {
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  DrawTextScreen(width, height);
  SwapWindowBuffers();
}

void StartWindowShow(FrameLoop& loop) {
  ClearGlyphCells();
  loop.deadline = WindowTicksMs();
  ClearKeyState();
  BuildShow();
  DrawAndShow();
}

bool PresentWindowFrame(FrameLoop& loop, FrameLoopPorts& ports) {
  if (PumpMessages()) loop.stop = true;
  GlWindow& window = TheWindow();
  if (window.windowActive) {
    if (window.keyState[kVirtualKeyEscape] & kKeyWentDown) {
      loop.stop = true;
    } else {
      PrepareGlyphCells();
      DrawAndShow();
    }
  }
  if (window.keyState[kVirtualKeyM] & kKeyWentUp) ToggleMute(loop, ports);
  if (window.keyState[kVirtualKeyF1] & kKeyWentUp) {
    const bool fullScreen = !window.fullScreen;
    CloseWindow();
    if (!OpenWindow(fullScreen)) return false;
  }
  ClearKeyState();
  return true;
}
