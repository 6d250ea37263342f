// The window program's part of every frame: events, the drawing, and the
// keys the frame loop acts on. Shared by demo_gl and its frame-rate bench.
#pragma once

#include "engine/core/demo_run.h"

// Handles pending events (a close or quit request sets loop.stop); while the
// window is not minimised, Escape pressed since the last frame sets
// loop.stop, else the screen is decoded, drawn and shown. M released toggles
// mute through ports, F1 released reopens the window in the other mode. A
// press and its release between two frames both count. The key events are
// cleared at the end. False when the window could not be reopened: the
// program must end at once, after shutting the music and the show down.
bool PresentWindowFrame(FrameLoop& loop, FrameLoopPorts& ports);

// Draws the glyph records as they are and shows them: the black screen
// before the first frame.
void DrawAndShow();

// The window's start of the show, once the window is open: the glyphs and
// keys cleared, the frame grid starting now, the show built and the black
// screen shown.
void StartWindowShow(FrameLoop& loop);
