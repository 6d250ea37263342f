// What every window layer shares: the one window state and its key events.
#include "frontends/gl/gl_window.h"

namespace {

GlWindow gWindow;

}  // namespace

GlWindow& TheWindow() { return gWindow; }

void RecordKey(int virtualKey, uint32_t event) {
  if (virtualKey < 0 || virtualKey >= kKeyStateEntries) return;
  gWindow.keyState[virtualKey] |= event;
}

void ClearKeyState() {
  for (uint32_t& state : gWindow.keyState) state = kKeyNoEvent;
}
